#include <gtest/gtest.h>

#include <vector>

#include "pe_image.h"
#include "pe_resources.h"
#include "pe_writer.h"

namespace {

using namespace winsim::pe;
using Bytes = std::vector<uint8_t>;

constexpr uint16_t kEnglishUs = 1033;
constexpr uint16_t kGerman = 1031;

// Dialog 101 in two languages, a version and a manifest: three types, one with two names.
Bytes sampleDll() {
    return buildDll({{kTypeDialog, 101, kGerman, Bytes{'d', 'e'}},
                     {kTypeDialog, 101, kEnglishUs, Bytes{'e', 'n', '-', 'u', 's'}},
                     {kTypeDialog, 102, kEnglishUs, Bytes{'2'}},
                     {kTypeVersion, 1, kEnglishUs, Bytes(7, 'v')},
                     {kTypeManifest, 1, kEnglishUs, Bytes(300, 'm')}});
}

TEST(PeResources, LookupByTypeNameAndLanguage) {
    struct Case {
        uint16_t type;
        uint16_t name;
        int language;
        ResourceStatus status;
        std::string data;
        uint16_t foundLanguage;
    };
    const Case cases[] = {
        {kTypeDialog, 101, kEnglishUs, ResourceStatus::found, "en-us", kEnglishUs},
        {kTypeDialog, 101, kGerman, ResourceStatus::found, "de", kGerman},
        {kTypeDialog, 101, kAnyLanguage, ResourceStatus::found, "de", kGerman}, // first listed
        {kTypeDialog, 102, kAnyLanguage, ResourceStatus::found, "2", kEnglishUs},
        {kTypeVersion, 1, kAnyLanguage, ResourceStatus::found, "vvvvvvv", kEnglishUs},
        {kTypeManifest, 1, kEnglishUs, ResourceStatus::found, std::string(300, 'm'), kEnglishUs},
        {kTypeDialog, 101, 1036, ResourceStatus::languageNotFound, "", 0},
        {kTypeDialog, 103, kAnyLanguage, ResourceStatus::nameNotFound, "", 0},
        {kTypeVersion, 2, kAnyLanguage, ResourceStatus::nameNotFound, "", 0},
        {6, 101, kAnyLanguage, ResourceStatus::typeNotFound, "", 0},
    };
    Bytes dll = sampleDll();
    Image image;
    ASSERT_TRUE(parseImage(ByteView(dll), &image));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << "/" << c.name << "/" << c.language);
        Resource found = findResource(ByteView(dll), image, c.type, c.name, c.language);
        ASSERT_EQ(c.status, found.status);
        EXPECT_EQ(c.data, std::string(found.data.data, found.data.data + found.data.size));
        EXPECT_EQ(c.foundLanguage, found.language);
    }
}

// Offsets in a DLL built with one resource: the tree opens the .rsrc section's raw data
// with the root (one entry), then the type's directory, the name's directory, the data
// entry, and the data.
struct OneResourceTree {
    Bytes bytes = buildDll({{kTypeVersion, 1, kEnglishUs, Bytes(100, 'v')}});
    size_t root = 0x200;
    size_t rootEntry = root + 16;
    size_t typeEntry = root + 24 + 16;
    size_t languageEntry = root + 48 + 16;
    size_t dataEntry = root + 72;
    size_t resourceDirectory = 0x58 + 112 + 16;
};

void put32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

TEST(PeResources, DamagedTreesAreReportedNotFollowed) {
    struct Damage {
        const char* what;
        void (*apply)(OneResourceTree&);
        uint16_t lookupType;
        ResourceStatus status;
    };
    const Damage damages[] = {
        {"directory outside every section",
         [](OneResourceTree& t) { put32(t.bytes, t.resourceDirectory, 0x8000); }, kTypeVersion,
         ResourceStatus::corrupt},
        {"directory size past the section",
         [](OneResourceTree& t) { put32(t.bytes, t.resourceDirectory + 4, 0x10000); }, kTypeVersion,
         ResourceStatus::corrupt},
        {"type entry leads to data, not a directory",
         [](OneResourceTree& t) { put32(t.bytes, t.rootEntry + 4, 24); }, kTypeVersion,
         ResourceStatus::corrupt},
        {"name directory past the tree",
         [](OneResourceTree& t) { put32(t.bytes, t.typeEntry + 4, 0x80001000); }, kTypeVersion,
         ResourceStatus::corrupt},
        {"language entry leads to a directory",
         [](OneResourceTree& t) { put32(t.bytes, t.languageEntry + 4, 0x80000000); }, kTypeVersion,
         ResourceStatus::corrupt},
        {"root claims more entries than the tree holds",
         [](OneResourceTree& t) { t.bytes[t.root + 14] = 0xFF; }, kTypeDialog,
         ResourceStatus::corrupt},
        {"data outside every section",
         [](OneResourceTree& t) { put32(t.bytes, t.dataEntry, 0x7000); }, kTypeVersion,
         ResourceStatus::corrupt},
        {"data larger than its section",
         [](OneResourceTree& t) { put32(t.bytes, t.dataEntry + 4, 0x1000); }, kTypeVersion,
         ResourceStatus::corrupt},
        {"type stored under a name, not an id",
         [](OneResourceTree& t) { put32(t.bytes, t.rootEntry, 0x80000000 | 16); }, kTypeVersion,
         ResourceStatus::typeNotFound},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        OneResourceTree tree;
        Image image;
        ASSERT_TRUE(parseImage(ByteView(tree.bytes), &image));
        ASSERT_EQ(ResourceStatus::found,
                  findResource(ByteView(tree.bytes), image, kTypeVersion, 1).status);
        damage.apply(tree);
        ASSERT_TRUE(parseImage(ByteView(tree.bytes), &image));
        Resource found = findResource(ByteView(tree.bytes), image, damage.lookupType, 1);
        EXPECT_EQ(damage.status, found.status);
        EXPECT_EQ(nullptr, found.data.data);
    }
}

} // namespace
