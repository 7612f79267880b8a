#include "pe_image.h"

#include <algorithm>

namespace winsim::pe {

namespace {

constexpr uint16_t kDosSignature = 0x5A4D;    // "MZ"
constexpr uint32_t kNtSignature = 0x00004550; // "PE\0\0"
constexpr size_t kNewHeaderField = 0x3C;
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr uint32_t kMaxDirectories = 16;
constexpr size_t kImportDescriptorSize = 20;

struct OptionalLayout {
    size_t directoryCountField;
    size_t directories;
};

bool optionalLayout(uint16_t magic, OptionalLayout* layout) {
    if (magic == kMagicPe32) {
        *layout = {92, 96};
    } else if (magic == kMagicPe32Plus) {
        *layout = {108, 112};
    } else {
        return false;
    }
    return true;
}

bool readDirectories(ByteView optional, const OptionalLayout& layout, Image* image) {
    uint32_t count = 0;
    if (!optional.u32(layout.directoryCountField, &count)) {
        return false;
    }
    count = std::min(count, kMaxDirectories);
    for (uint32_t i = 0; i < count; ++i) {
        DataDirectory entry;
        size_t at = layout.directories + i * 8;
        if (!optional.u32(at, &entry.rva) || !optional.u32(at + 4, &entry.size)) {
            return false;
        }
        image->directories.push_back(entry);
    }
    return true;
}

bool readSections(ByteView table, uint16_t count, Image* image) {
    for (uint16_t i = 0; i < count; ++i) {
        ByteView header = table.slice(i * kSectionHeaderSize, kSectionHeaderSize);
        if (header.size == 0) {
            return false;
        }
        Section section;
        const char* name = reinterpret_cast<const char*>(header.data);
        section.name.assign(name, std::find(name, name + 8, '\0'));
        header.u32(8, &section.virtualSize);
        header.u32(12, &section.virtualAddress);
        header.u32(16, &section.rawSize);
        header.u32(20, &section.rawOffset);
        image->sections.push_back(section);
    }
    return true;
}

// From rva to the end of its section's raw data (clipped to the file).
ByteView sectionBytesFrom(ByteView file, const Image& image, uint32_t rva) {
    for (const Section& section : image.sections) {
        if (rva < section.virtualAddress || rva - section.virtualAddress >= section.rawSize) {
            continue;
        }
        uint32_t into = rva - section.virtualAddress;
        size_t start = static_cast<size_t>(section.rawOffset) + into;
        if (start > file.size) {
            return ByteView();
        }
        size_t available = std::min<size_t>(section.rawSize - into, file.size - start);
        return file.slice(start, available);
    }
    return ByteView();
}

bool cStringAt(ByteView file, const Image& image, uint32_t rva, std::string* text) {
    ByteView bytes = sectionBytesFrom(file, image, rva);
    const char* begin = reinterpret_cast<const char*>(bytes.data);
    const char* end = begin ? std::find(begin, begin + bytes.size, '\0') : begin;
    if (!begin || end == begin + bytes.size) {
        return false;
    }
    text->assign(begin, end);
    return true;
}

} // namespace

bool parseImage(ByteView file, Image* image) {
    *image = Image();
    uint16_t dosSignature = 0;
    uint32_t ntOffset = 0;
    uint32_t ntSignature = 0;
    if (!file.u16(0, &dosSignature) || dosSignature != kDosSignature) {
        return false;
    }
    if (!file.u32(kNewHeaderField, &ntOffset)) {
        return false;
    }
    if (!file.u32(ntOffset, &ntSignature) || ntSignature != kNtSignature) {
        return false;
    }
    ByteView header = file.slice(size_t{ntOffset} + 4, kFileHeaderSize);
    if (header.size == 0) {
        return false;
    }
    uint16_t sectionCount = 0;
    uint16_t optionalSize = 0;
    header.u16(0, &image->machine);
    header.u16(2, &sectionCount);
    header.u16(16, &optionalSize);
    header.u16(18, &image->characteristics);
    size_t optionalStart = size_t{ntOffset} + 4 + kFileHeaderSize;
    ByteView optional = file.slice(optionalStart, optionalSize);
    OptionalLayout layout{};
    if (!optional.u16(0, &image->magic) || !optionalLayout(image->magic, &layout)) {
        return false;
    }
    if (!optional.u16(68, &image->subsystem) || !readDirectories(optional, layout, image)) {
        return false;
    }
    size_t tableStart = optionalStart + optionalSize;
    ByteView table = file.slice(tableStart, size_t{sectionCount} * kSectionHeaderSize);
    return (sectionCount == 0 || table.size != 0) && readSections(table, sectionCount, image);
}

ByteView bytesAtRva(ByteView file, const Image& image, uint32_t rva, uint32_t size) {
    return sectionBytesFrom(file, image, rva).slice(0, size);
}

DataDirectory directory(const Image& image, size_t index) {
    return index < image.directories.size() ? image.directories[index] : DataDirectory();
}

bool importedDlls(ByteView file, const Image& image, std::vector<std::string>* names) {
    names->clear();
    DataDirectory imports = directory(image, kDirectoryImport);
    if (imports.rva == 0) {
        return true;
    }
    ByteView table = sectionBytesFrom(file, image, imports.rva);
    for (size_t at = 0;; at += kImportDescriptorSize) {
        uint32_t nameRva = 0;
        uint32_t firstThunk = 0;
        if (!table.u32(at + 12, &nameRva) || !table.u32(at + 16, &firstThunk)) {
            return false;
        }
        if (nameRva == 0 && firstThunk == 0) {
            return true;
        }
        std::string name;
        if (!cStringAt(file, image, nameRva, &name)) {
            return false;
        }
        names->push_back(name);
    }
}

} // namespace winsim::pe
