#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "system/multi_string.h"

namespace {

// The bytes of a value as the registry would hand them over: UTF-16LE of an ASCII text in
// which "|" stands for NUL, plus any extra raw bytes (an odd size).
std::vector<unsigned char> valueBytes(const std::string& text, const std::string& extra = "") {
    std::vector<unsigned char> bytes;
    for (char c : text) {
        bytes.push_back(c == '|' ? 0 : static_cast<unsigned char>(c));
        bytes.push_back(0);
    }
    bytes.insert(bytes.end(), extra.begin(), extra.end());
    return bytes;
}

// Scans a heap copy of exactly the value's size, so the sanitizer build catches any read
// past its end.
std::vector<MultiStringPart> scan(const std::vector<unsigned char>& bytes, size_t* count) {
    std::unique_ptr<unsigned char[]> exact(new unsigned char[bytes.size()]);
    if (!bytes.empty()) {
        std::memcpy(exact.get(), bytes.data(), bytes.size());
    }
    std::vector<MultiStringPart> parts(bytes.size() + 1);
    *count = scanMultiString(exact.get(), bytes.size(), parts.data(), parts.size());
    parts.resize(*count);
    return parts;
}

TEST(MultiStringScan, FindsEveryStringBeforeTheTerminatorAndNothingOutsideTheData) {
    using Parts = std::vector<std::pair<size_t, size_t>>;
    const struct {
        const char* name;
        std::vector<unsigned char> bytes;
        Parts expected; // (start, length) in characters
    } rows[] = {
        {"size 0", {}, {}},
        {"size 1", {'a'}, {}},
        {"only the terminator", valueBytes("|"), {}},
        {"size 3", valueBytes("a", "b"), {}},
        {"one string", valueBytes("a||"), {{0, 1}}},
        {"two strings", valueBytes("ab|c||"), {{0, 2}, {3, 1}}},
        {"deletion as Windows queues it", valueBytes("\\??\\C:\\f|||"), {{0, 8}, {9, 0}}},
        {"empty string first", valueBytes("||"), {{0, 0}}},
        {"no terminating empty string", valueBytes("a|b|"), {{0, 1}, {2, 1}}},
        {"last string without terminator", valueBytes("a|bc"), {{0, 1}, {2, 2}}},
        {"only an unterminated string", valueBytes("ab"), {{0, 2}}},
        {"odd size ends in half a character", valueBytes("a|bc", "x"), {{0, 1}, {2, 2}}},
        // 7 bytes: the third character would be the terminator, so "b" lies past the strings.
        {"odd size, short", valueBytes("a|b", "c"), {{0, 1}}},
        {"odd number of strings", valueBytes("s|t|u||"), {{0, 1}, {2, 1}, {4, 1}}},
    };
    for (const auto& row : rows) {
        size_t count = 0;
        Parts found;
        for (const MultiStringPart& part : scan(row.bytes, &count)) {
            found.emplace_back(part.start, part.length);
        }
        EXPECT_EQ(row.expected, found) << row.name;
    }
}

TEST(MultiStringScan, CountsBeyondTheCapacityWithoutWritingThere) {
    const std::vector<unsigned char> bytes = valueBytes("a|b|c||");
    MultiStringPart parts[3] = {{7, 7}, {7, 7}, {7, 7}};
    EXPECT_EQ(3u, scanMultiString(bytes.data(), bytes.size(), nullptr, 0));
    EXPECT_EQ(3u, scanMultiString(bytes.data(), bytes.size(), parts, 2));
    EXPECT_EQ(2u, parts[1].start);
    EXPECT_EQ(1u, parts[1].length);
    EXPECT_EQ(7u, parts[2].start);
    EXPECT_EQ(7u, parts[2].length);
}

// Random values, mostly short strings: whatever the bytes, the parts tile the data from its
// start, hold no NUL, end at a NUL or at the end of the data, and start before the
// terminating empty string.
TEST(MultiStringScan, RandomValuesAreSplitWithinTheirData) {
    std::mt19937 random(20601);
    std::uniform_int_distribution<size_t> sizes(0, 48);
    std::uniform_int_distribution<int> bytes(0, 255);
    for (int round = 0; round < 2000; ++round) {
        std::vector<unsigned char> value(sizes(random));
        for (unsigned char& b : value) {
            int r = bytes(random);
            b = r < 128 ? 0 : static_cast<unsigned char>(r);
        }
        size_t count = 0;
        std::vector<MultiStringPart> parts = scan(value, &count);
        const size_t characters = value.size() / 2;
        auto charAt = [&](size_t i) { return value[2 * i] | value[2 * i + 1] << 8; };
        size_t expectedStart = 0;
        for (const MultiStringPart& part : parts) {
            ASSERT_EQ(expectedStart, part.start) << "round " << round;
            ASSERT_LT(part.start, (value.size() - 2) / 2 + 1) << "round " << round;
            ASSERT_LE(part.start + part.length, characters) << "round " << round;
            for (size_t i = part.start; i < part.start + part.length; ++i) {
                ASSERT_NE(0, charAt(i)) << "round " << round;
            }
            size_t end = part.start + part.length;
            ASSERT_TRUE(end == characters || charAt(end) == 0) << "round " << round;
            expectedStart = end + 1;
        }
        ASSERT_EQ(count, scanMultiString(value.data(), value.size(), nullptr, 0));
    }
}

} // namespace
