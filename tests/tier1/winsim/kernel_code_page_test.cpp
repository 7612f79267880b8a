#include <windows.h>

#include <string>

#include "support/machine_test.h"
#include "machine.h"
#include "winsim/text.h"

namespace {

using KernelCodePage = MachineTest;

TEST_F(KernelCodePage, Windows1252MapsEveryByte) {
    char all[256];
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<char>(i);
    }
    WCHAR wide[256];
    ASSERT_EQ(256, MultiByteToWideChar(CP_ACP, 0, all, 256, wide, 256));
    const struct {
        int byte;
        WCHAR expected;
    } rows[] = {{0x00, 0x0000}, {0x7F, 0x007F}, {0x80, 0x20AC}, {0x81, 0x0081}, {0x8A, 0x0160},
                {0x92, 0x2019}, {0x9D, 0x009D}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xFF, 0x00FF}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.expected, wide[row.byte]) << row.byte;
    }
}

TEST_F(KernelCodePage, TerminatedInputCountsItsNulCountedInputHasNone) {
    WCHAR wide[16] = {'x', 'x', 'x', 'x'};
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(2, MultiByteToWideChar(CP_ACP, 0, "abc", 2, wide, 4));
    EXPECT_EQ("abxx", winsim::toUtf8(std::u16string(wide, wide + 4)));
    EXPECT_EQ(5, MultiByteToWideChar(CP_ACP, 0, "Caf\xE9", -1, nullptr, 0));
    EXPECT_EQ(5, MultiByteToWideChar(CP_ACP, 0, "Caf\xE9", -1, wide, 16));
    EXPECT_EQ("Caf\xC3\xA9", winsim::toUtf8(wide));
    EXPECT_EQ(0xDEADBEEFu, GetLastError());
}

TEST_F(KernelCodePage, FailuresAndTheirCodes) {
    WCHAR wide[4];
    const struct {
        const char* name;
        UINT codePage;
        const char* text;
        int bytes;
        int size;
        DWORD error;
    } rows[] = {
        {"buffer too small", CP_ACP, "abcd", -1, 4, ERROR_INSUFFICIENT_BUFFER},
        {"no input", CP_ACP, nullptr, 3, 4, ERROR_INVALID_PARAMETER},
        {"empty counted input", CP_ACP, "abc", 0, 4, ERROR_INVALID_PARAMETER},
        {"negative size", CP_ACP, "abc", -1, -2, ERROR_INVALID_PARAMETER},
        {"unknown code page", 12345, "abc", -1, 4, ERROR_INVALID_PARAMETER},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(0, MultiByteToWideChar(row.codePage, 0, row.text, row.bytes, wide, row.size));
        EXPECT_EQ(row.error, GetLastError());
    }
}

} // namespace
