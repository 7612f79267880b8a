#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>

#include "log/format_text.h"
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
        {formatted(L"%d|%d|%d", 0, -7, INT32_MIN), "0|-7|-2147483648"},
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

} // namespace
