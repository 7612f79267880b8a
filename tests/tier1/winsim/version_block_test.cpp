#include <gtest/gtest.h>

#include <vector>

#include "version_block.h"

namespace {

using winsim::findVersionValue;
using winsim::VersionValue;
using winsim::pe::ByteView;

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
