#include <gtest/gtest.h>

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
std::vector<MultiStringPart> scan(std::vector<unsigned char> exact) {
    exact.shrink_to_fit();
    std::vector<MultiStringPart> parts(exact.size() + 1);
    parts.resize(scanMultiString(exact.data(), exact.size(), parts.data(), parts.size()));
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
        Parts found;
        for (const MultiStringPart& part : scan(row.bytes)) {
            found.emplace_back(part.start, part.length);
        }
        EXPECT_EQ(row.expected, found) << row.name;
    }
}

} // namespace
