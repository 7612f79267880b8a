#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pe_image.h"
#include "pe_resources.h"
#include "pe_writer.h"

namespace {

using namespace winsim::pe;
using Bytes = std::vector<uint8_t>;

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
constexpr size_t kHeadersEnd = kOptional + 240 + 40;

Bytes sampleDll() {
    return buildDll({{kTypeVersion, 1, 0x0409, Bytes(100, 0xAB)}});
}

TEST(PeImage, BuiltDllIsAnX64GuiDllWithOneResourceSection) {
    Bytes dll = sampleDll();
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
        Bytes dll = sampleDll();
        damage.apply(dll);
        Image image;
        image.machine = 0xDEAD;
        EXPECT_FALSE(parseImage(ByteView(dll), &image));
    }
}

// Every cut of a file is either not an image or has no readable resource, until the cut
// leaves the resource directory (which ends with the data) whole. Each cut is its own heap block,
// so the sanitizer build catches any read past it.
TEST(PeImage, TruncatedFilesNeverReadPastTheirEnd) {
    Bytes dll = sampleDll();
    Image whole;
    ASSERT_TRUE(parseImage(ByteView(dll), &whole));
    Resource full = findResource(ByteView(dll), whole, kTypeVersion, 1);
    ASSERT_EQ(ResourceStatus::found, full.status);
    size_t treeEnd = whole.sections[0].rawOffset + directory(whole, kDirectoryResource).size;
    ASSERT_GE(treeEnd, static_cast<size_t>(full.data.data - dll.data()) + full.data.size);
    for (size_t length = 0; length < dll.size(); ++length) {
        Bytes cut(dll.begin(), dll.begin() + static_cast<ptrdiff_t>(length));
        Image image;
        bool parsed = parseImage(ByteView(cut), &image);
        ASSERT_EQ(length >= kHeadersEnd, parsed) << "cut at " << length;
        if (!parsed) {
            continue;
        }
        ResourceStatus status = findResource(ByteView(cut), image, kTypeVersion, 1).status;
        ASSERT_EQ(length >= treeEnd ? ResourceStatus::found : ResourceStatus::corrupt, status)
            << "cut at " << length;
    }
}

} // namespace
