#include "support/machine_test.h"

#include "log/text_utils.h"
#include "machine.h"
#include "winsim/control.h"
#include "winsim/text.h"

namespace {

int sign(int value) {
    return (value > 0) - (value < 0);
}

TEST(TextUtils, CaseInsensitiveCompareFoldsOnlyAsciiLettersToLowerCase) {
    const struct {
        const WCHAR* a;
        const WCHAR* b;
        int expectedSign;
    } rows[] = {
        {L"install", L"INSTALL", 0},
        {L"uninst", L"uninstall", -1},
        {L"installer", L"install", 1},
        {L"B", L"a", 1},
        {L"_", L"a", -1}, // '_' sorts below 'a' but above 'A': folding goes to lower case
        {L"AZ", L"az", 0},
        {L"@", L"`", -1}, // the neighbours of A-Z do not fold
        {L"[", L"{", -1},
        {L"\x00c9", L"\x00e9", -1},
        {L"", L"", 0},
        {nullptr, L"", 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.expectedSign, sign(compareIgnoringCase(row.a, row.b)))
            << winsim::toUtf8(row.a ? row.a : L"(null)") << " / " << winsim::toUtf8(row.b);
    }
}

TEST(TextUtils, CopyNeverOverrunsAndReportsTruncation) {
    WCHAR buffer[8];
    for (WCHAR& c : buffer) {
        c = 0xAAAA;
    }
    EXPECT_TRUE(copyText(buffer, 5, L"abcd"));
    EXPECT_EQ("abcd", winsim::toUtf8(buffer));
    EXPECT_FALSE(copyText(buffer, 5, L"abcde"));
    EXPECT_EQ("abcd", winsim::toUtf8(buffer));
    EXPECT_EQ(0xAAAA, buffer[5]);
    EXPECT_TRUE(copyText(buffer, 5, nullptr));
    EXPECT_EQ(L'\0', buffer[0]);
    EXPECT_FALSE(copyText(buffer, 0, L"x"));
}

TEST(TextUtils, ParseLongReadsLikeWtol) {
    const struct {
        const WCHAR* text;
        LONG expected;
    } rows[] = {
        {L"123", 123},
        {L" \t\r\n-42x", -42},
        {L"+7", 7},
        {L"12 34", 12},
        {L"0x10", 0},
        {L"abc", 0},
        {L"", 0},
        {L"- 5", 0},
        {L"\b5", 0}, // the neighbours of the blanks \t-\r are no blanks
        {L"\u000e5", 0},
        {L"2147483647", 2147483647},
        {L"2147483648", 2147483647},
        {L"4294967297", 2147483647},
        {L"-2147483648", INT32_MIN},
        {L"-99999999999999999999", INT32_MIN},
        {nullptr, 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.expected, parseLong(row.text)) << winsim::toUtf8(row.text ? row.text : L"");
    }
}

using DuplicateText = MachineTest;

TEST_F(DuplicateText, CopiesIntoAGlobalBlockOfTheTextsSize) {
    W path("C:\\Windows\\system32\\orvmon64.dll");
    WCHAR* copy = duplicateText(path);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(u8(path), u8(copy));
    EXPECT_EQ(2 * path.size() + 2, winsim::machine().memory.sizeOf(copy));
    EXPECT_EQ(nullptr, GlobalFree(copy));

    EXPECT_EQ(nullptr, duplicateText(L""));
    EXPECT_EQ(nullptr, duplicateText(nullptr));
    EXPECT_EQ(0u, winsim::control::liveMemoryBlocks());
}

} // namespace
