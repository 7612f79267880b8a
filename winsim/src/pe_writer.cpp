#include "pe_writer.h"

#include <algorithm>
#include <map>

#include "pe_exports.h"
#include "pe_image.h"

namespace winsim::pe {

namespace {

constexpr uint32_t kSubdirectory = 0x80000000u;
constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kNtOffset = 0x40;
constexpr uint32_t kOptionalOffset = kNtOffset + 24;
constexpr uint16_t kOptionalSize = 112 + 16 * 8;
constexpr uint32_t kSectionTableOffset = kOptionalOffset + kOptionalSize;
constexpr uint16_t kDllCharacteristics = 0x2022; // executable image, large address aware, DLL
constexpr uint32_t kReadableData = 0x40000040;   // initialized data, readable

using Languages = std::map<uint16_t, const std::vector<uint8_t>*>;
using Names = std::map<uint16_t, Languages>;
using Types = std::map<uint16_t, Names>;

uint32_t alignUp(size_t value, uint32_t alignment) {
    return static_cast<uint32_t>((value + alignment - 1) / alignment * alignment);
}

void put16(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    out[at] = static_cast<uint8_t>(value);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}

void putDirectory(std::vector<uint8_t>& out, size_t at, size_t entries) {
    put16(out, at + 14, static_cast<uint32_t>(entries));
}

void putEntry(std::vector<uint8_t>& out, size_t directory, size_t index, uint16_t id,
              uint32_t target) {
    size_t at = directory + 16 + index * 8;
    put32(out, at, id);
    put32(out, at + 4, target);
}

size_t directorySize(size_t entries) {
    return 16 + entries * 8;
}

// Cursors into the section: all directories first (breadth first), then the data entries,
// then the data itself, each piece 8-byte aligned.
struct Layout {
    size_t nameDirectories = 0;
    size_t languageDirectories = 0;
    size_t dataEntries = 0;
    size_t data = 0;
    size_t end = 0;
};

Layout layoutFor(const Types& types) {
    Layout layout;
    layout.nameDirectories = directorySize(types.size());
    layout.languageDirectories = layout.nameDirectories;
    size_t leaves = 0;
    size_t dataBytes = 0;
    for (const auto& [type, names] : types) {
        layout.languageDirectories += directorySize(names.size());
        for (const auto& [name, languages] : names) {
            layout.dataEntries += directorySize(languages.size());
            leaves += languages.size();
            for (const auto& [language, data] : languages) {
                dataBytes += alignUp(data->size(), 8);
            }
        }
    }
    layout.dataEntries += layout.languageDirectories;
    layout.data = layout.dataEntries + leaves * 16;
    layout.end = layout.data + dataBytes;
    return layout;
}

void writeLanguages(std::vector<uint8_t>& out, Layout& at, const Languages& languages,
                    uint32_t sectionRva) {
    putDirectory(out, at.languageDirectories, languages.size());
    size_t index = 0;
    for (const auto& [language, data] : languages) {
        putEntry(out, at.languageDirectories, index++, language,
                 static_cast<uint32_t>(at.dataEntries));
        put32(out, at.dataEntries, static_cast<uint32_t>(sectionRva + at.data));
        put32(out, at.dataEntries + 4, static_cast<uint32_t>(data->size()));
        std::copy(data->begin(), data->end(), out.begin() + static_cast<ptrdiff_t>(at.data));
        at.dataEntries += 16;
        at.data += alignUp(data->size(), 8);
    }
    at.languageDirectories += directorySize(languages.size());
}

struct Placed {
    const char* name;
    std::vector<uint8_t> bytes;
    uint32_t rva;
    uint32_t rawOffset;
};

void putOptionalHeader(std::vector<uint8_t>& out, uint32_t imageSize, uint32_t rsrcRva,
                       uint32_t rsrcSize) {
    size_t at = kOptionalOffset;
    put16(out, at, kMagicPe32Plus);
    put32(out, at + 8, rsrcSize == 0 ? 0 : alignUp(rsrcSize, kFileAlignment));
    put32(out, at + 24, 0x80000000u); // image base 0x180000000, low and high halves
    put32(out, at + 28, 0x1);
    put32(out, at + 32, kSectionAlignment);
    put32(out, at + 36, kFileAlignment);
    put16(out, at + 40, 6); // operating system version 6.0
    put16(out, at + 48, 6); // subsystem version 6.0
    put32(out, at + 56, imageSize);
    put32(out, at + 60, kFileAlignment);
    put16(out, at + 68, kSubsystemWindowsGui);
    put16(out, at + 70, 0x0100);   // NX compatible
    put32(out, at + 72, 0x100000); // stack reserve, commit; heap reserve, commit
    put32(out, at + 80, 0x1000);
    put32(out, at + 88, 0x100000);
    put32(out, at + 96, 0x1000);
    put32(out, at + 108, 16);
    put32(out, at + 112 + kDirectoryResource * 8, rsrcRva);
    put32(out, at + 112 + kDirectoryResource * 8 + 4, rsrcSize);
}

void putSection(std::vector<uint8_t>& out, size_t index, const Placed& section) {
    size_t at = kSectionTableOffset + index * 40;
    const uint32_t size = static_cast<uint32_t>(section.bytes.size());
    std::copy_n(section.name, std::char_traits<char>::length(section.name), out.begin() + at);
    put32(out, at + 8, size);
    put32(out, at + 12, section.rva);
    put32(out, at + 16, alignUp(size, kFileAlignment));
    put32(out, at + 20, section.rawOffset);
    put32(out, at + 36, kReadableData);
    std::copy(section.bytes.begin(), section.bytes.end(), out.begin() + section.rawOffset);
}

} // namespace

std::vector<uint8_t> buildResourceSection(const std::vector<ResourceEntry>& resources,
                                          uint32_t sectionRva) {
    Types types;
    for (const ResourceEntry& entry : resources) {
        types[entry.type][entry.name][entry.language] = &entry.data;
    }
    Layout at = layoutFor(types);
    std::vector<uint8_t> out(at.end);
    putDirectory(out, 0, types.size());
    size_t typeIndex = 0;
    for (const auto& [type, names] : types) {
        putEntry(out, 0, typeIndex++, type,
                 static_cast<uint32_t>(at.nameDirectories) | kSubdirectory);
        putDirectory(out, at.nameDirectories, names.size());
        size_t nameIndex = 0;
        for (const auto& [name, languages] : names) {
            putEntry(out, at.nameDirectories, nameIndex++, name,
                     static_cast<uint32_t>(at.languageDirectories) | kSubdirectory);
            writeLanguages(out, at, languages, sectionRva);
        }
        at.nameDirectories += directorySize(names.size());
    }
    return out;
}

std::vector<uint8_t> buildDll(const std::vector<ResourceEntry>& resources,
                              const std::vector<std::string>& exports, const std::string& dllName) {
    std::vector<Placed> sections;
    uint32_t rva = kSectionAlignment;
    uint32_t raw = kFileAlignment;
    auto place = [&](const char* name, std::vector<uint8_t> bytes) {
        const uint32_t size = static_cast<uint32_t>(bytes.size());
        sections.push_back({name, std::move(bytes), rva, raw});
        rva += alignUp(size, kSectionAlignment);
        raw += alignUp(size, kFileAlignment);
    };
    if (!resources.empty()) {
        place(".rsrc", buildResourceSection(resources, rva));
    }
    if (!exports.empty()) {
        place(".edata", buildExportDirectory(rva, dllName, exports));
    }
    std::vector<uint8_t> out(raw);
    out[0] = 'M';
    out[1] = 'Z';
    put32(out, 0x3C, kNtOffset);
    put32(out, kNtOffset, 0x00004550); // "PE\0\0"
    put16(out, kNtOffset + 4, kMachineAmd64);
    put16(out, kNtOffset + 6, static_cast<uint32_t>(sections.size()));
    put16(out, kNtOffset + 20, kOptionalSize);
    put16(out, kNtOffset + 22, kDllCharacteristics);
    const bool hasRsrc = !resources.empty();
    const uint32_t rsrcSize = hasRsrc ? static_cast<uint32_t>(sections[0].bytes.size()) : 0;
    putOptionalHeader(out, rva, hasRsrc ? kSectionAlignment : 0, rsrcSize);
    if (!exports.empty()) {
        const Placed& edata = sections.back();
        put32(out, kOptionalOffset + 112, edata.rva);
        put32(out, kOptionalOffset + 116, static_cast<uint32_t>(edata.bytes.size()));
    }
    for (size_t i = 0; i < sections.size(); ++i) {
        putSection(out, i, sections[i]);
    }
    return out;
}

} // namespace winsim::pe
