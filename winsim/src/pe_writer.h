// Builds small but complete PE32+ DLL images around a set of resources: the stand-in
// product files that the simulated machine's version calls (and Windows itself) can read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace winsim::pe {

struct ResourceEntry {
    uint16_t type = 0;
    uint16_t name = 0;
    uint16_t language = 0;
    std::vector<uint8_t> data;
};

// The .rsrc section's bytes for the resources, laid out for the section's RVA.
std::vector<uint8_t> buildResourceSection(const std::vector<ResourceEntry>& resources,
                                          uint32_t sectionRva);

// An x64 DLL without code: headers and, when there are resources, one .rsrc section;
// when it exports names (a loader finds them with GetProcAddress), an .edata section.
std::vector<uint8_t> buildDll(const std::vector<ResourceEntry>& resources,
                              const std::vector<std::string>& exports = {},
                              const std::string& dllName = "");

} // namespace winsim::pe
