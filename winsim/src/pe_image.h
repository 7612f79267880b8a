// The headers of a PE image (EXE or DLL) read from its file bytes: what a loader checks
// first, the data directories and the section table that maps RVAs to file offsets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pe_bytes.h"

namespace winsim::pe {

constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kMagicPe32 = 0x010b;
constexpr uint16_t kMagicPe32Plus = 0x020b;
constexpr uint16_t kSubsystemWindowsGui = 2;
constexpr uint16_t kSubsystemWindowsCui = 3;
constexpr size_t kDirectoryImport = 1;
constexpr size_t kDirectoryResource = 2;

struct DataDirectory {
    uint32_t rva = 0;
    uint32_t size = 0;
};

struct Section {
    std::string name;
    uint32_t virtualAddress = 0;
    uint32_t virtualSize = 0;
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
};

struct Image {
    uint16_t machine = 0;
    uint16_t characteristics = 0;
    uint16_t magic = 0;
    uint16_t subsystem = 0;
    std::vector<DataDirectory> directories;
    std::vector<Section> sections;
};

// False when the bytes are not a PE image: no MZ or PE signature, an unknown optional
// header, or headers that run past the end of the file.
bool parseImage(ByteView file, Image* image);

// The file bytes behind [rva, rva + size): empty when they are not all inside the raw data
// of one section (and inside the file).
ByteView bytesAtRva(ByteView file, const Image& image, uint32_t rva, uint32_t size);

// The directory entry, or an empty one when the image has fewer directories.
DataDirectory directory(const Image& image, size_t index);

// The names of the DLLs the image imports from, in table order. False when the import
// table cannot be read.
bool importedDlls(ByteView file, const Image& image, std::vector<std::string>* names);

} // namespace winsim::pe
