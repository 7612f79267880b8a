#include "support/machine_test.h"

#include <malloc.h>

#include "log/wide_text.h"
#include "winsim/text.h"

namespace {

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
