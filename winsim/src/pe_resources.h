// Resource lookup in a PE image's resource tree (type, then name, then language), as the
// loader's FindResource does for integer ids.
#pragma once

#include <cstdint>

#include "pe_image.h"

namespace winsim::pe {

constexpr uint16_t kTypeDialog = 5;
constexpr uint16_t kTypeVersion = 16;
constexpr uint16_t kTypeManifest = 24;
// Take the first language the tree lists for the name.
constexpr int kAnyLanguage = -1;

enum class ResourceStatus {
    found,
    noResources, // the image has no resource directory
    typeNotFound,
    nameNotFound,
    languageNotFound,
    corrupt, // the tree or the data points outside the file
};

struct Resource {
    ResourceStatus status = ResourceStatus::noResources;
    ByteView data;
    uint16_t language = 0;
};

Resource findResource(ByteView file, const Image& image, uint16_t type, uint16_t name,
                      int language = kAnyLanguage);

} // namespace winsim::pe
