// The export table reader that tells a port monitor DLL from any other file.
#include <gtest/gtest.h>

#include "pe_exports.h"
#include "pe_writer.h"

namespace {

TEST(PeExports, NamesComeBackSortedAsTheLoaderNeedsThem) {
    const std::vector<uint8_t> dll = winsim::pe::buildDll(
        {{16, 1, 0x409, {1, 2, 3, 4}}},
        {"InitializePrintMonitor2", "DllMain", "InitializePrintMonitor"}, "orvmon64.dll");
    EXPECT_TRUE(winsim::isPeImage(dll));
    const std::vector<std::string> expected = {"DllMain", "InitializePrintMonitor",
                                               "InitializePrintMonitor2"};
    EXPECT_EQ(expected, winsim::peExportNames(dll));
    EXPECT_TRUE(winsim::peExportNames(winsim::pe::buildDll({})).empty()) << "no export table";
}

// Every cut of a valid image is read without running past its end: it exports the whole
// name or nothing, never a part of it.
TEST(PeExports, TruncatedImagesNeverYieldPartialNames) {
    const std::vector<uint8_t> dll = winsim::pe::buildDll({}, {"InitializePrintMonitor2"}, "m.dll");
    for (size_t size = 0; size < dll.size(); ++size) {
        const std::vector<uint8_t> cut(dll.begin(), dll.begin() + static_cast<ptrdiff_t>(size));
        const std::vector<std::string> names = winsim::peExportNames(cut);
        EXPECT_TRUE(names.empty() || names == std::vector<std::string>{"InitializePrintMonitor2"})
            << size;
        if (size < 0x200) {
            EXPECT_TRUE(names.empty()) << "the headers alone at " << size;
        }
    }
    EXPECT_FALSE(winsim::isPeImage({'M', 'Z'}));
    EXPECT_FALSE(winsim::isPeImage(std::vector<uint8_t>(512, 'x')));
}

} // namespace
