#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "version_block.h"
#include "winsim/text.h"

namespace {

using winsim::findVersionValue;
using winsim::VersionValue;
using winsim::pe::ByteView;

uint32_t dwordAt(const std::vector<uint8_t>& block, size_t at) {
    uint32_t value = 0;
    ByteView(block).u32(at, &value);
    return value;
}

std::string textAt(const std::vector<uint8_t>& block, const VersionValue& value) {
    std::u16string text(value.length - 1, u'\0');
    std::memcpy(&text[0], &block[value.offset], text.size() * 2);
    return winsim::toUtf8(text);
}

TEST(VersionBlock, SubBlockPaths) {
    struct Case {
        const char16_t* path;
        bool found;
        size_t offset; // 0: not checked
        uint16_t length;
        const char* text; // nullptr: binary value
    };
    const Case cases[] = {
        {u"\\", true, 40, 52, nullptr},
        {u"", true, 40, 52, nullptr},
        {u"\\\\", true, 40, 52, nullptr},
        {u"\\StringFileInfo\\040904b0\\ProductVersion", true, 0, 11, "5.6.7.2060"},
        {u"\\stringfileinfo\\040904B0\\PRODUCTVERSION", true, 0, 11, "5.6.7.2060"},
        {u"StringFileInfo\\\\040904b0\\FileVersion\\", true, 0, 8, "1.2.3.4"},
        {u"\\VarFileInfo\\Translation", true, 0, 4, nullptr},
        {u"\\StringFileInfo", true, 0, 0, nullptr},
        {u"\\StringFileInfo\\040904b0\\ProductVersio", false, 0, 0, nullptr},
        {u"\\StringFileInfo\\040904b0\\ProductVersionX", false, 0, 0, nullptr},
        {u"\\Nope", false, 0, 0, nullptr},
        {u"\\VarFileInfo\\Translation\\More", false, 0, 0, nullptr},
    };
    std::vector<uint8_t> block = winsim::buildVersionBlock({1, 2, 3, 4}, {5, 6, 7, 2060});
    for (const Case& c : cases) {
        SCOPED_TRACE(winsim::toUtf8(c.path));
        VersionValue value{0xDEAD, 0xBEEF};
        ASSERT_EQ(c.found, findVersionValue(ByteView(block), c.path, &value));
        if (!c.found) {
            EXPECT_EQ(0xDEADu, value.offset);
            continue;
        }
        EXPECT_EQ(c.length, value.length);
        if (c.offset != 0) {
            EXPECT_EQ(c.offset, value.offset);
        }
        if (c.text) {
            EXPECT_EQ(c.text, textAt(block, value));
        }
    }
    VersionValue translation;
    findVersionValue(ByteView(block), u"\\VarFileInfo\\Translation", &translation);
    EXPECT_EQ(0x04b00409u, dwordAt(block, translation.offset));
}

// A block cut short, or whose nodes claim impossible lengths, yields "not found" without
// reading past the bytes given.
TEST(VersionBlock, DamagedBlocksAreNotWalkedPastTheirEnd) {
    const std::u16string path = u"\\VarFileInfo\\Translation";
    std::vector<uint8_t> whole = winsim::buildVersionBlock({1, 0, 0, 1}, {1, 0, 0, 1});
    VersionValue value;
    ASSERT_TRUE(findVersionValue(ByteView(whole), path, &value));
    for (size_t length = 0; length < whole.size(); ++length) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length));
        EXPECT_FALSE(findVersionValue(ByteView(cut), path, &value)) << "cut at " << length;
    }
    std::vector<uint8_t> zeroChild = whole;
    zeroChild[92] = 0; // the first child's wLength
    zeroChild[93] = 0;
    EXPECT_FALSE(findVersionValue(ByteView(zeroChild), path, &value));
    std::vector<uint8_t> oversizedChild = whole;
    oversizedChild[93] = 0xFF;
    EXPECT_FALSE(findVersionValue(ByteView(oversizedChild), path, &value));
}

} // namespace
