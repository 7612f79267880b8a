#include <windows.h>

#include <string>

#include "support/machine_test.h"
#include "machine.h"
#include "message_table.h"
#include "winsim/text.h"

namespace {

using KernelFormatMessage = MachineTest;

const DWORD kSystemText =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;

DWORD format(DWORD code, DWORD language, LPWSTR* text) {
    return FormatMessageW(kSystemText, nullptr, code, language, reinterpret_cast<LPWSTR>(text), 0,
                          nullptr);
}

// What the installer's error lines show: Windows' wording, ending in CR LF.
TEST_F(KernelFormatMessage, SystemTextsInUsEnglishAndNeutralLanguage) {
    const struct {
        DWORD code;
        const char* text;
    } rows[] = {
        {0, "The operation completed successfully.\r\n"},
        {2, "The system cannot find the file specified.\r\n"},
        {32, "The process cannot access the file because it is being used by another process.\r\n"},
        {183, "Cannot create a file when that file already exists.\r\n"},
        {1058, "The service cannot be started, either because it is disabled or because it has no "
               "enabled devices associated with it.\r\n"},
        {1722, "The RPC server is unavailable.\r\n"},
        {3008, "The specified print monitor is currently in use.\r\n"},
        {0x8007000E, "Not enough storage is available to complete this operation.\r\n"},
    };
    for (DWORD language : {1033u, 0u}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(row.code);
            LPWSTR text = reinterpret_cast<LPWSTR>(0xDEADBEEF);
            SetLastError(0xDEADBEEF);
            ASSERT_EQ(std::string(row.text).size(), format(row.code, language, &text));
            EXPECT_EQ(row.text, winsim::toUtf8(text));
            EXPECT_EQ(0xDEADBEEFu, GetLastError());
            EXPECT_EQ(nullptr, LocalFree(text));
        }
    }
    for (DWORD code = 0; code < 4000; ++code) {
        const char* text = winsim::systemMessageText(code);
        EXPECT_TRUE(!text || std::string(text).rfind(".\r\n") + 3 == std::string(text).size())
            << code;
    }
}

TEST_F(KernelFormatMessage, UnknownCodeOrLanguageFailsAndAllocatesNothing) {
    const struct {
        DWORD code;
        DWORD language;
        DWORD error;
    } rows[] = {{4, 1033, ERROR_MR_MID_NOT_FOUND},
                {2815, 1033, ERROR_MR_MID_NOT_FOUND},
                {0x80070005u, 1033, ERROR_MR_MID_NOT_FOUND},
                {0xDEADBEEFu, 1033, ERROR_MR_MID_NOT_FOUND},
                {5, 1031, ERROR_RESOURCE_LANG_NOT_FOUND}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        LPWSTR text = reinterpret_cast<LPWSTR>(0xDEADBEEF);
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(0u, format(row.code, row.language, &text));
        EXPECT_EQ(row.error, GetLastError());
        EXPECT_EQ(nullptr, text);
        EXPECT_EQ(0u, winsim::machine().memory.liveBlocks());
    }
}

TEST_F(KernelFormatMessage, CallerBufferTakesTheTextOrFailsWith122) {
    const DWORD flags = FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    WCHAR buffer[32];
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(19u, FormatMessageW(flags, nullptr, 5, 1033, buffer, 32, nullptr));
    EXPECT_EQ("Access is denied.\r\n", winsim::toUtf8(buffer));

    buffer[0] = 'x';
    EXPECT_EQ(0u, FormatMessageW(flags, nullptr, 5, 1033, buffer, 19, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ('x', buffer[0]);
}

} // namespace
