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

// What the installer's error lines show: the text with Windows' wording, ending in CR LF.
struct Expected {
    DWORD code;
    const char* text;
};

const Expected kTexts[] = {
    {0, "The operation completed successfully.\r\n"},
    {2, "The system cannot find the file specified.\r\n"},
    {5, "Access is denied.\r\n"},
    {32, "The process cannot access the file because it is being used by another process.\r\n"},
    {183, "Cannot create a file when that file already exists.\r\n"},
    {1058, "The service cannot be started, either because it is disabled or because it has no "
           "enabled devices associated with it.\r\n"},
    {1722, "The RPC server is unavailable.\r\n"},
    {3008, "The specified print monitor is currently in use.\r\n"},
    {0x8007000E, "Not enough storage is available to complete this operation.\r\n"},
};

TEST_F(KernelFormatMessage, SystemTextsInUsEnglishAndNeutralLanguage) {
    for (DWORD language : {1033u, 0u}) {
        for (const Expected& e : kTexts) {
            SCOPED_TRACE(e.code);
            LPWSTR text = reinterpret_cast<LPWSTR>(0xDEADBEEF);
            SetLastError(0xDEADBEEF);
            DWORD n = FormatMessageW(kSystemText, nullptr, e.code, language,
                                     reinterpret_cast<LPWSTR>(&text), 0, nullptr);
            ASSERT_EQ(std::string(e.text).size(), n);
            EXPECT_EQ(e.text, winsim::toUtf8(text));
            EXPECT_EQ(0xDEADBEEFu, GetLastError());
            EXPECT_EQ(nullptr, LocalFree(text));
        }
    }
}

TEST_F(KernelFormatMessage, EveryTableTextEndsInAPeriodAndCrLf) {
    for (DWORD code = 0; code < 4000; ++code) {
        const char* text = winsim::systemMessageText(code);
        if (text) {
            std::string s = text;
            EXPECT_EQ(".\r\n", s.substr(s.size() - 3)) << code;
        }
    }
}

TEST_F(KernelFormatMessage, UnknownCodeFailsWith317AndAllocatesNothing) {
    for (DWORD code : {4u, 1815u + 1000u, 0x80070005u, 0xDEADBEEFu}) {
        SCOPED_TRACE(code);
        LPWSTR text = reinterpret_cast<LPWSTR>(0xDEADBEEF);
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(0u, FormatMessageW(kSystemText, nullptr, code, 1033,
                                     reinterpret_cast<LPWSTR>(&text), 0, nullptr));
        EXPECT_EQ(static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND), GetLastError());
        EXPECT_EQ(nullptr, text);
        EXPECT_EQ(0u, winsim::machine().memory.liveBlocks());
    }
}

TEST_F(KernelFormatMessage, LanguageNotInstalledFailsWith1815) {
    LPWSTR text = nullptr;
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(0u, FormatMessageW(kSystemText, nullptr, 5, 1031, reinterpret_cast<LPWSTR>(&text), 0,
                                 nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND), GetLastError());
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

TEST_F(KernelFormatMessage, InsertsAreLeftAsWritten) {
    LPWSTR text = nullptr;
    FormatMessageW(kSystemText, nullptr, 317, 1033, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    EXPECT_EQ("The system cannot find message text for message number 0x%1 in the message file "
              "for %2.\r\n",
              winsim::toUtf8(text));
    LocalFree(text);
}

} // namespace
