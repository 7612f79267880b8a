#include "pe_resources.h"

namespace winsim::pe {

namespace {

constexpr size_t kDirectoryHeaderSize = 16;
constexpr size_t kEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr uint32_t kHighBit = 0x80000000u;

enum class Step { found, missing, corrupt };

struct Entry {
    uint32_t name = 0;   // an integer id, or (high bit set) the offset of a name string
    uint32_t target = 0; // a sub-directory (high bit set) or a data entry
};

// One level of the tree: the entry with the integer id, or the first entry for id < 0.
// Named entries come first in a directory and never match an integer id.
Step findEntry(ByteView tree, uint32_t directoryOffset, int id, Entry* entry) {
    uint16_t named = 0;
    uint16_t numbered = 0;
    if (!tree.u16(size_t{directoryOffset} + 12, &named) ||
        !tree.u16(size_t{directoryOffset} + 14, &numbered)) {
        return Step::corrupt;
    }
    size_t first = size_t{directoryOffset} + kDirectoryHeaderSize;
    for (size_t i = 0; i < size_t{named} + numbered; ++i) {
        size_t at = first + i * kEntrySize;
        if (!tree.u32(at, &entry->name) || !tree.u32(at + 4, &entry->target)) {
            return Step::corrupt;
        }
        bool numeric = (entry->name & kHighBit) == 0;
        if (id < 0 || (numeric && entry->name == static_cast<uint32_t>(id))) {
            return Step::found;
        }
    }
    return Step::missing;
}

Resource result(ResourceStatus status) {
    Resource resource;
    resource.status = status;
    return resource;
}

Resource readData(ByteView file, const Image& image, ByteView tree, const Entry& entry) {
    uint32_t dataRva = 0;
    uint32_t dataSize = 0;
    ByteView data = tree.slice(entry.target, kDataEntrySize);
    if ((entry.target & kHighBit) != 0 || !data.u32(0, &dataRva) || !data.u32(4, &dataSize)) {
        return result(ResourceStatus::corrupt);
    }
    Resource resource = result(ResourceStatus::corrupt);
    resource.data = bytesAtRva(file, image, dataRva, dataSize);
    if (resource.data.data) {
        resource.status = ResourceStatus::found;
    }
    resource.language = static_cast<uint16_t>(entry.name);
    return resource;
}

} // namespace

Resource findResource(ByteView file, const Image& image, uint16_t type, uint16_t name,
                      int language) {
    DataDirectory resources = directory(image, kDirectoryResource);
    if (resources.rva == 0 || resources.size == 0) {
        return result(ResourceStatus::noResources);
    }
    // Offsets inside the tree count from its root directory.
    ByteView tree = bytesAtRva(file, image, resources.rva, resources.size);
    if (!tree.data) {
        return result(ResourceStatus::corrupt);
    }

    const int ids[] = {type, name, language};
    const ResourceStatus missing[] = {ResourceStatus::typeNotFound, ResourceStatus::nameNotFound,
                                      ResourceStatus::languageNotFound};
    uint32_t directoryOffset = 0;
    Entry entry;
    for (int level = 0; level < 3; ++level) {
        Step step = findEntry(tree, directoryOffset, ids[level], &entry);
        if (step == Step::missing) {
            return result(missing[level]);
        }
        if (step == Step::corrupt) {
            return result(ResourceStatus::corrupt);
        }
        bool isDirectory = (entry.target & kHighBit) != 0;
        if (level < 2 && !isDirectory) {
            return result(ResourceStatus::corrupt);
        }
        directoryOffset = entry.target & ~kHighBit;
    }
    return readData(file, image, tree, entry);
}

} // namespace winsim::pe
