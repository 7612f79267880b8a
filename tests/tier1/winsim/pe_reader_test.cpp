// The PE reader under winsim's loader and version calls: headers, the resource tree, the
// export names that tell a port monitor DLL from any other file, the version block, and
// damaged or cut files that must
// be refused without reading past their end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pe_exports.h"
#include "pe_image.h"
#include "pe_resources.h"
#include "pe_writer.h"
#include "version_block.h"

namespace {

using namespace winsim::pe;
using Bytes = std::vector<uint8_t>;

constexpr uint16_t kEnglishUs = 1033;
constexpr uint16_t kGerman = 1031;

void put16(Bytes& bytes, size_t at, uint32_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

void put32(Bytes& bytes, size_t at, uint32_t value) {
    put16(bytes, at, value & 0xFFFF);
    put16(bytes, at + 2, value >> 16);
}

// Where the built images keep their headers.
constexpr size_t kNt = 0x40;
constexpr size_t kSectionCount = kNt + 6;
constexpr size_t kOptionalSize = kNt + 20;
constexpr size_t kOptional = kNt + 24;
constexpr size_t kResourceDirectory = kOptional + 112 + 16;
constexpr size_t kHeadersEnd = kOptional + 240 + 40;
// A one-resource tree opens the .rsrc section's raw data with the root (one entry), then
// the type's directory, the name's directory, the data entry, and the data.
constexpr size_t kRoot = 0x200;
constexpr size_t kRootEntry = kRoot + 16;
constexpr size_t kTypeEntry = kRoot + 24 + 16;
constexpr size_t kLanguageEntry = kRoot + 48 + 16;
constexpr size_t kDataEntry = kRoot + 72;

Bytes oneResource() {
    return buildDll({{kTypeVersion, 1, kEnglishUs, Bytes(100, 0xAB)}});
}

TEST(PeImage, BuiltDllIsAnX64GuiDllWithOneResourceSection) {
    Bytes dll = oneResource();
    Image image;
    ASSERT_TRUE(parseImage(ByteView(dll), &image));
    EXPECT_EQ(kMachineAmd64, image.machine);
    EXPECT_EQ(kMagicPe32Plus, image.magic);
    EXPECT_EQ(kSubsystemWindowsGui, image.subsystem);
    EXPECT_EQ(0x2000, image.characteristics & 0x2000) << "IMAGE_FILE_DLL";
    ASSERT_EQ(1u, image.sections.size());
    EXPECT_EQ(".rsrc", image.sections[0].name);
    EXPECT_EQ(image.sections[0].virtualAddress, directory(image, kDirectoryResource).rva);
    std::vector<std::string> dlls{"stale"};
    EXPECT_TRUE(importedDlls(ByteView(dll), image, &dlls));
    EXPECT_TRUE(dlls.empty());
}

TEST(PeImage, BrokenHeadersAreNotAnImage) {
    struct Damage {
        const char* what;
        void (*apply)(Bytes&);
    };
    const Damage damages[] = {
        {"no MZ", [](Bytes& b) { b[0] = 'Z'; }},
        {"new header offset past the end", [](Bytes& b) { put32(b, 0x3C, uint32_t(b.size())); }},
        {"new header offset that wraps", [](Bytes& b) { put32(b, 0x3C, 0xFFFFFFFE); }},
        {"no PE signature", [](Bytes& b) { b[kNt] = 'X'; }},
        {"PE32 ROM magic", [](Bytes& b) { put16(b, kOptional, 0x0107); }},
        {"optional header too short for its directories",
         [](Bytes& b) { put16(b, kOptionalSize, 100); }},
        {"optional header past the end", [](Bytes& b) { put16(b, kOptionalSize, 0xFFFF); }},
        {"section table past the end", [](Bytes& b) { put16(b, kSectionCount, 0xFFFF); }},
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.what);
        Bytes dll = oneResource();
        damage.apply(dll);
        Image image;
        image.machine = 0xDEAD;
        EXPECT_FALSE(parseImage(ByteView(dll), &image));
    }
}

// Every cut of a file is either not an image or has no readable resource, until the cut
// leaves the resource directory (which ends with the data) whole; it exports the whole name
// or nothing, never a part of it. Each cut is its own heap block, so the sanitizer build
// catches any read past it.
TEST(PeImage, TruncatedFilesNeverReadPastTheirEnd) {
    const std::vector<std::string> exported = {"InitializePrintMonitor2"};
    Bytes dll = buildDll({{kTypeVersion, 1, kEnglishUs, Bytes(100, 0xAB)}}, exported, "m.dll");
    Image whole;
    ASSERT_TRUE(parseImage(ByteView(dll), &whole));
    ASSERT_EQ(exported, winsim::peExportNames(dll));
    Resource full = findResource(ByteView(dll), whole, kTypeVersion, 1);
    ASSERT_EQ(ResourceStatus::found, full.status);
    const size_t headersEnd = kOptional + 240 + 40 * whole.sections.size();
    size_t treeEnd = whole.sections[0].rawOffset + directory(whole, kDirectoryResource).size;
    ASSERT_GE(treeEnd, static_cast<size_t>(full.data.data - dll.data()) + full.data.size);
    for (size_t length = 0; length < dll.size(); ++length) {
        Bytes cut(dll.begin(), dll.begin() + static_cast<ptrdiff_t>(length));
        const std::vector<std::string> names = winsim::peExportNames(cut);
        EXPECT_TRUE(names.empty() || names == exported) << "cut at " << length;
        EXPECT_TRUE(length >= 0x200 || names.empty()) << "the headers alone at " << length;
        Image image;
        bool parsed = parseImage(ByteView(cut), &image);
        ASSERT_EQ(length >= headersEnd, parsed) << "cut at " << length;
        if (!parsed) {
            continue;
        }
        ResourceStatus status = findResource(ByteView(cut), image, kTypeVersion, 1).status;
        ASSERT_EQ(length >= treeEnd ? ResourceStatus::found : ResourceStatus::corrupt, status)
            << "cut at " << length;
    }
    EXPECT_FALSE(winsim::isPeImage({'M', 'Z'}));
    EXPECT_FALSE(winsim::isPeImage(Bytes(512, 'x')));
}

// Dialog 101 in two languages, a version and a manifest: three types, one with two names.
TEST(PeResources, LookupByTypeNameAndLanguage) {
    const struct {
        uint16_t type;
        uint16_t name;
        int language;
        ResourceStatus status;
        std::string data;
        uint16_t foundLanguage;
    } cases[] = {
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
    Bytes dll = buildDll({{kTypeDialog, 101, kGerman, Bytes{'d', 'e'}},
                          {kTypeDialog, 101, kEnglishUs, Bytes{'e', 'n', '-', 'u', 's'}},
                          {kTypeDialog, 102, kEnglishUs, Bytes{'2'}},
                          {kTypeVersion, 1, kEnglishUs, Bytes(7, 'v')},
                          {kTypeManifest, 1, kEnglishUs, Bytes(300, 'm')}});
    Image image;
    ASSERT_TRUE(parseImage(ByteView(dll), &image));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << "/" << c.name << "/" << c.language);
        Resource found = findResource(ByteView(dll), image, c.type, c.name, c.language);
        ASSERT_EQ(c.status, found.status);
        EXPECT_EQ(c.data, std::string(found.data.data, found.data.data + found.data.size));
        EXPECT_EQ(c.foundLanguage, found.language);
    }
}

TEST(PeResources, DamagedTreesAreReportedNotFollowed) {
    const ResourceStatus corrupt = ResourceStatus::corrupt;
    const struct {
        const char* what;
        size_t at;
        uint32_t value;
        uint16_t lookupType;
        ResourceStatus status;
    } damages[] = {
        {"directory outside every section", kResourceDirectory, 0x8000, kTypeVersion, corrupt},
        {"directory size past the section", kResourceDirectory + 4, 0x10000, kTypeVersion, corrupt},
        {"type entry leads to data, not a directory", kRootEntry + 4, 24, kTypeVersion, corrupt},
        {"name directory past the tree", kTypeEntry + 4, 0x80001000, kTypeVersion, corrupt},
        {"language entry leads to a directory", kLanguageEntry + 4, 0x80000000, kTypeVersion,
         corrupt},
        // No named entries and 255 id entries.
        {"root claims more entries than the tree holds", kRoot + 12, 0xFF0000, kTypeDialog,
         corrupt},
        {"data outside every section", kDataEntry, 0x7000, kTypeVersion, corrupt},
        {"data larger than its section", kDataEntry + 4, 0x1000, kTypeVersion, corrupt},
        {"type stored under a name, not an id", kRootEntry, 0x80000000 | kTypeVersion, kTypeVersion,
         ResourceStatus::typeNotFound},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.what);
        Bytes dll = oneResource();
        Image image;
        ASSERT_TRUE(parseImage(ByteView(dll), &image));
        ASSERT_EQ(ResourceStatus::found,
                  findResource(ByteView(dll), image, kTypeVersion, 1).status);
        put32(dll, damage.at, damage.value);
        ASSERT_TRUE(parseImage(ByteView(dll), &image));
        Resource found = findResource(ByteView(dll), image, damage.lookupType, 1);
        EXPECT_EQ(damage.status, found.status);
        EXPECT_EQ(nullptr, found.data.data);
    }
}

TEST(PeExports, NamesComeBackSortedAsTheLoaderNeedsThem) {
    const Bytes dll =
        buildDll({{16, 1, 0x409, {1, 2, 3, 4}}},
                 {"InitializePrintMonitor2", "DllMain", "InitializePrintMonitor"}, "orvmon64.dll");
    EXPECT_TRUE(winsim::isPeImage(dll));
    const std::vector<std::string> expected = {"DllMain", "InitializePrintMonitor",
                                               "InitializePrintMonitor2"};
    EXPECT_EQ(expected, winsim::peExportNames(dll));
    EXPECT_TRUE(winsim::peExportNames(buildDll({})).empty()) << "no export table";
}

// A version block cut short, or whose nodes claim impossible lengths, yields "not found".
TEST(VersionBlock, DamagedBlocksAreNotWalkedPastTheirEnd) {
    const std::u16string path = u"\\VarFileInfo\\Translation";
    Bytes whole = winsim::buildVersionBlock({1, 0, 0, 1}, {1, 0, 0, 1});
    winsim::VersionValue value;
    ASSERT_TRUE(winsim::findVersionValue(ByteView(whole), path, &value));
    for (size_t length = 0; length < whole.size(); ++length) {
        Bytes cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length));
        EXPECT_FALSE(winsim::findVersionValue(ByteView(cut), path, &value)) << "cut at " << length;
    }
    Bytes zeroChild = whole;
    put16(zeroChild, 92, 0); // the first child's wLength
    EXPECT_FALSE(winsim::findVersionValue(ByteView(zeroChild), path, &value));
    Bytes oversizedChild = whole;
    oversizedChild[93] = 0xFF;
    EXPECT_FALSE(winsim::findVersionValue(ByteView(oversizedChild), path, &value));
}

} // namespace
