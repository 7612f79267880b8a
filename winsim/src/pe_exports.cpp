#include "pe_exports.h"

#include <algorithm>

namespace winsim {

namespace {

// Little-endian reads that fail (false) instead of reading past the image.
struct Reader {
    const std::vector<uint8_t>& bytes;

    bool u16(size_t at, uint32_t& out) const {
        if (at > bytes.size() || bytes.size() - at < 2) {
            return false;
        }
        out = bytes[at] | (bytes[at + 1] << 8);
        return true;
    }
    bool u32(size_t at, uint32_t& out) const {
        uint32_t lo = 0;
        uint32_t hi = 0;
        if (!u16(at, lo) || !u16(at + 2, hi)) {
            return false;
        }
        out = lo | (hi << 16);
        return true;
    }
    bool cString(size_t at, std::string& out) const {
        out.clear();
        for (size_t i = at; i < bytes.size(); ++i) {
            if (bytes[i] == 0) {
                return true;
            }
            out += static_cast<char>(bytes[i]);
        }
        return false;
    }
};

struct Section {
    uint32_t virtualAddress;
    uint32_t rawOffset;
    uint32_t rawSize;
};

struct Image {
    std::vector<Section> sections;
    uint32_t exportRva = 0;
    uint32_t exportSize = 0;
};

constexpr uint32_t kPe32Magic = 0x10b;
constexpr uint32_t kPe32PlusMagic = 0x20b;

bool readSections(const Reader& r, size_t table, uint32_t count, Image& image) {
    for (uint32_t i = 0; i < count; ++i) {
        size_t at = table + i * 40;
        Section s{};
        if (!r.u32(at + 12, s.virtualAddress) || !r.u32(at + 16, s.rawSize) ||
            !r.u32(at + 20, s.rawOffset)) {
            return false;
        }
        image.sections.push_back(s);
    }
    return true;
}

// DOS stub → "PE\0\0" → file header → optional header (its data directory 0 is the
// export table) → section table.
bool readHeaders(const Reader& r, Image& image) {
    uint32_t mz = 0;
    uint32_t peOffset = 0;
    uint32_t signature = 0;
    if (!r.u16(0, mz) || mz != 0x5A4D || !r.u32(0x3C, peOffset) || !r.u32(peOffset, signature) ||
        signature != 0x00004550) {
        return false;
    }
    size_t fileHeader = peOffset + 4;
    size_t optional = fileHeader + 20;
    uint32_t sectionCount = 0;
    uint32_t optionalSize = 0;
    uint32_t magic = 0;
    if (!r.u16(fileHeader + 2, sectionCount) || !r.u16(fileHeader + 16, optionalSize) ||
        !r.u16(optional, magic) || (magic != kPe32Magic && magic != kPe32PlusMagic)) {
        return false;
    }
    size_t directoryCountAt = optional + (magic == kPe32PlusMagic ? 108 : 92);
    uint32_t directoryCount = 0;
    if (!r.u32(directoryCountAt, directoryCount)) {
        return false;
    }
    if (directoryCount > 0 && (!r.u32(directoryCountAt + 4, image.exportRva) ||
                               !r.u32(directoryCountAt + 8, image.exportSize))) {
        return false;
    }
    return readSections(r, optional + optionalSize, sectionCount, image);
}

bool rvaToOffset(const Image& image, uint32_t rva, size_t& offset) {
    for (const Section& s : image.sections) {
        // Only bytes present in the file can be read; the rest of a section is zeros.
        if (rva >= s.virtualAddress && rva - s.virtualAddress < s.rawSize) {
            offset = s.rawOffset + (rva - s.virtualAddress);
            return true;
        }
    }
    return false;
}

void putU16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void putU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    putU16(out, at, v & 0xFFFF);
    putU16(out, at + 2, v >> 16);
}

size_t appendString(std::vector<uint8_t>& out, const std::string& s) {
    size_t at = out.size();
    out.insert(out.end(), s.begin(), s.end());
    out.push_back(0);
    return at;
}

} // namespace

bool isPeImage(const std::vector<uint8_t>& bytes) {
    Image image;
    return readHeaders(Reader{bytes}, image);
}

std::vector<std::string> peExportNames(const std::vector<uint8_t>& bytes) {
    Reader r{bytes};
    Image image;
    size_t directory = 0;
    uint32_t nameCount = 0;
    uint32_t namesRva = 0;
    size_t names = 0;
    if (!readHeaders(r, image) || image.exportSize == 0 ||
        !rvaToOffset(image, image.exportRva, directory) || !r.u32(directory + 24, nameCount) ||
        !r.u32(directory + 32, namesRva) || !rvaToOffset(image, namesRva, names)) {
        return {};
    }
    std::vector<std::string> result;
    for (uint32_t i = 0; i < nameCount; ++i) {
        uint32_t nameRva = 0;
        size_t nameAt = 0;
        std::string name;
        if (!r.u32(names + 4 * i, nameRva) || !rvaToOffset(image, nameRva, nameAt) ||
            !r.cString(nameAt, name)) {
            return {};
        }
        result.push_back(name);
    }
    return result;
}

std::vector<uint8_t> buildExportDirectory(uint32_t sectionRva, const std::string& dllName,
                                          std::vector<std::string> names) {
    // The loader binary-searches the name table, so it must be sorted.
    std::sort(names.begin(), names.end());
    const uint32_t count = static_cast<uint32_t>(names.size());
    const size_t functions = 40;
    const size_t nameTable = functions + 4 * count;
    const size_t ordinals = nameTable + 4 * count;
    std::vector<uint8_t> out(ordinals + 2 * count, 0);
    const size_t code = out.size();
    out.push_back(0xC3); // ret
    putU32(out, 12, sectionRva + static_cast<uint32_t>(appendString(out, dllName)));
    putU32(out, 16, 1); // ordinal base
    putU32(out, 20, count);
    putU32(out, 24, count);
    putU32(out, 28, sectionRva + static_cast<uint32_t>(functions));
    putU32(out, 32, sectionRva + static_cast<uint32_t>(nameTable));
    putU32(out, 36, sectionRva + static_cast<uint32_t>(ordinals));
    for (uint32_t i = 0; i < count; ++i) {
        putU32(out, functions + 4 * i, sectionRva + static_cast<uint32_t>(code));
        putU16(out, ordinals + 2 * i, i);
        putU32(out, nameTable + 4 * i,
               sectionRva + static_cast<uint32_t>(appendString(out, names[i])));
    }
    return out;
}

} // namespace winsim
