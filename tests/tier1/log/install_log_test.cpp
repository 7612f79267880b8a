#include "tier1/system/system_test.h"

#include <climits>
#include <string>

#include "log/install_log.h"
#include "log/wide_text.h"
#include "message_table.h"

namespace {

using InstallLog = SystemTest;

// The system text as the log shows it: the message table's entry without its line break.
std::string systemText(DWORD code) {
    std::string text = winsim::systemMessageText(code);
    EXPECT_EQ("\r\n", text.substr(text.size() - 2)) << code;
    return text.substr(0, text.size() - 2);
}

// Empty text, and no text at all, still get their indentation and line break.
TEST_F(InstallLog, IndentsTwoSpacesPerLevelUpToTenLevels) {
    const struct {
        LONG depth;
        size_t spaces;
        const WCHAR* text = L"EnumMonitors";
    } rows[] = {{0, 0},  {1, 2},       {3, 6},      {10, 20},        {11, 20},   {12, 20},
                {-1, 0}, {INT_MIN, 0}, {2, 4, L""}, {2, 4, nullptr}, {0, 0, L""}};
    for (const auto& row : rows) {
        release(context().logText);
        context().logDepth = row.depth;
        row.text ? logLine(context(), L"%s", row.text) : appendLogLine(context(), nullptr);
        EXPECT_EQ(std::string(row.spaces, ' ') + (row.text ? u8(row.text) : "") + "\r\n", log())
            << row.depth;
    }
    EXPECT_EQ(0, context().errorCount);
}

TEST_F(InstallLog, ErrorLinesCarryTheSystemTextOfTheLastError) {
    const DWORD kNoSuchMessage = 0x2000BEEF;
    const struct {
        DWORD lastError;
        int code;
        const WCHAR* format;
        std::string expected;
    } rows[] = {
        {0, 7, L"Can`t retrieve system directory.", "Error(7): Can`t retrieve system directory."},
        {ERROR_ACCESS_DENIED, 16, L"Can`t open printer '%s'",
         "Error(16): Can`t open printer 'Folioscope' - (" + systemText(ERROR_ACCESS_DENIED) + ")"},
        {RPC_S_SERVER_UNAVAILABLE, 2, L"Can't open the spooler",
         "Error(2): Can't open the spooler - (" + systemText(RPC_S_SERVER_UNAVAILABLE) + ")"},
        {kNoSuchMessage, 4, L"Can't start the spooler",
         "Error(4): Can't start the spooler - ( No Description )"},
    };
    LONG expectedCount = 0;
    for (const auto& row : rows) {
        release(context().logText);
        context().logDepth = 1;
        SetLastError(row.lastError);
        logError(context(), row.code, row.format, L"Folioscope");
        EXPECT_EQ("  " + row.expected + "\r\n", log());
        EXPECT_EQ(++expectedCount, context().errorCount);
        EXPECT_EQ(row.lastError, GetLastError()) << "logging leaves the last error alone";
    }
    // Support reads the log in English: a machine without the English texts gives none.
    winsim::control::setDisplayLanguage(0x0407);
    release(context().logText);
    SetLastError(ERROR_ACCESS_DENIED);
    logError(context(), 3, L"Can't stop the spooler");
    EXPECT_EQ("  Error(3): Can't stop the spooler - ( No Description )\r\n", log());
}

// The data is all percent signs, so a line that used it as its format would come out halved.
TEST_F(InstallLog, OverlongLinesAreCutTo1023CharactersOfDataNeverUsedAsTheFormat) {
    std::string data(1100, '%');
    W wide(data);
    context().logDepth = 3;
    logLine(context(), L"%s", static_cast<const WCHAR*>(wide));
    EXPECT_EQ(std::string(6, ' ') + data.substr(0, 1023) + "\r\n", log());

    release(context().logText);
    context().logDepth = 0;
    SetLastError(ERROR_ACCESS_DENIED);
    logError(context(), 8, L"CopyFile(..,%s)", static_cast<const WCHAR*>(wide));
    std::string line = "Error(8): CopyFile(..," + data;
    EXPECT_EQ(line.substr(0, 1023) + "\r\n", log());
    EXPECT_EQ(1, context().errorCount);
}

} // namespace
