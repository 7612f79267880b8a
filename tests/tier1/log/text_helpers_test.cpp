// The small text helpers under the log: formatting, comparing, copying and parsing, and
// the growable wide text the log is built in.
#include "support/machine_test.h"

#include <algorithm>
#include <cstdarg>

#include <malloc.h>

#include "log/format_text.h"
#include "log/text_utils.h"
#include "log/wide_text.h"
#include "machine.h"
#include "winsim/control.h"
#include "winsim/text.h"

namespace {

std::string formatted(const WCHAR* format, ...) {
    WCHAR buffer[64];
    va_list args;
    va_start(args, format);
    formatTextV(buffer, 64, format, args);
    va_end(args);
    return winsim::toUtf8(buffer);
}

TEST(FormatText, ConversionsBehaveTheSameOnBothBuilds) {
    const WCHAR* noText = nullptr;
    const struct {
        std::string actual;
        const char* expected;
    } rows[] = {
        {formatted(L"Folioscope %d", 2060), "Folioscope 2060"},
        {formatted(L">AddPrinter(%s)", L"Folioscope"), ">AddPrinter(Folioscope)"},
        {formatted(L"[%s]", noText), "[(null)]"},
        {formatted(L"%s", L"\x00e9\x20ac"), "\xc3\xa9\xe2\x82\xac"},
        {formatted(L"%d|%d|%d", 0, -1, INT32_MIN), "0|-1|-2147483648"},
        {formatted(L"%d (0x%x)", 1722, 1722), "1722 (0x6ba)"},
        {formatted(L"%x|%x|%x", 0x89ABCDEFu, 0x1234567, -1), "89abcdef|1234567|ffffffff"},
        {formatted(L"100%%"), "100%"},
        {formatted(L"%S %ls %5d %q"), "%S %ls %5d %q"},
        {formatted(L"trailing %"), "trailing %"},
        {formatted(L"%s", L"%d%s%x"), "%d%s%x"},
        {formatted(L""), ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.expected, row.actual);
    }
}

TEST(FormatText, LongerOutputIsCutAndTerminatedWithinCapacity) {
    WCHAR buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), static_cast<WCHAR>(0xAAAA));
    EXPECT_EQ(7u, formatText(buffer, 8, L"%s-%d", L"0123456789", 42));
    EXPECT_EQ("0123456", winsim::toUtf8(buffer));
    for (size_t i = 8; i < 16; ++i) {
        EXPECT_EQ(0xAAAA, buffer[i]) << i;
    }

    EXPECT_EQ(0u, formatText(buffer, 1, L"%d", 5));
    EXPECT_EQ(L'\0', buffer[0]);
    buffer[0] = 0xAAAA;
    EXPECT_EQ(0u, formatText(buffer, 0, L"%d", 5));
    EXPECT_EQ(0xAAAA, buffer[0]);
}

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
    std::fill(std::begin(buffer), std::end(buffer), static_cast<WCHAR>(0xAAAA));
    EXPECT_TRUE(copyText(buffer, 5, L"abcd"));
    EXPECT_EQ("abcd", winsim::toUtf8(buffer));
    EXPECT_FALSE(copyText(buffer, 5, L"abcde"));
    EXPECT_EQ("abcd", winsim::toUtf8(buffer));
    EXPECT_EQ(0xAAAA, buffer[5]);
    EXPECT_TRUE(copyText(buffer, 5, nullptr));
    EXPECT_EQ(L'\0', buffer[0]);
    EXPECT_FALSE(copyText(buffer, 0, L"x"));
}

// A match lying just past the terminator is not in the text.
TEST(TextUtils, FindTextSearchesUpToTheTerminatorOnly) {
    const WCHAR text[] = L"ab\0b";
    EXPECT_EQ(text + 1, findText(text, L"b"));
    EXPECT_EQ(nullptr, findText(text + 2, L"b"));
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

// Bytes of a block of the given capacity: the count, the characters and the NUL.
size_t blockBytes(size_t capacity) {
    return 8 + 2 * capacity;
}

// The allocator may round a block up, and a shrunk block may keep a tail smaller than the
// allocator's least chunk (32 bytes), never a whole 32-character step (64 bytes).
void expectBlockOfCapacity(WideText text, size_t capacity) {
    ASSERT_NE(nullptr, text);
    size_t usable = malloc_usable_size(text);
    EXPECT_GE(usable, blockBytes(capacity));
    EXPECT_LT(usable, blockBytes(capacity) + 32);
}

std::string utf8(WideText text) {
    return winsim::toUtf8(textOf(text));
}

TEST(WideText, DirectoryOfCutsAtTheLastBackslashOrElseTheLastSlash) {
    const struct {
        const char* path;
        const char* expected;
    } rows[] = {
        {"C:\\Program Files\\Folioscope\\tray.exe", "C:\\Program Files\\Folioscope"},
        {"C:\\tray.exe", "C:"},
        {"\\tray.exe", ""},
        {"tray.exe", ""},
        {"", ""},
        {"/opt/folio/tray", "/opt/folio"},
        {"a/b\\c/d", "a/b"},
        {"\\\\server\\share\\", "\\\\server\\share"},
        {"/tray", ""},
    };
    for (const auto& row : rows) {
        std::u16string path = winsim::toUtf16(row.path);
        WideText text = nullptr;
        ASSERT_TRUE(assign(text, winsim::wz(path)));
        WideText directory = directoryOf(text);
        EXPECT_EQ(row.expected, utf8(directory)) << row.path;
        release(directory);
        release(text);
    }
}

using WideTextFromAnsi = MachineTest;

TEST_F(WideTextFromAnsi, ConvertsWindows1252Bytes) {
    WideText text = fromAnsi("caf\xe9 \x80 \x9f \x84");
    EXPECT_EQ("caf\xc3\xa9 \xe2\x82\xac \xc5\xb8 \xe2\x80\x9e", utf8(text));
    EXPECT_EQ(10u, lengthOf(text));
    expectBlockOfCapacity(text, 32);
    release(text);

    EXPECT_EQ(nullptr, fromAnsi(""));
    EXPECT_EQ(nullptr, fromAnsi(nullptr));

    text = fromAnsi(std::string(32, 'a').c_str());
    EXPECT_EQ(std::string(32, 'a'), utf8(text));
    expectBlockOfCapacity(text, 64);
    release(text);
}

} // namespace
