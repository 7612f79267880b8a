// The export table of a PE image: what the loader's GetProcAddress looks names up in.
// The spooler needs it to tell a port monitor DLL from any other DLL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace winsim {

// The bytes start with the headers of a PE32 or PE32+ image.
bool isPeImage(const std::vector<uint8_t>& image);

// The exported names of a PE32 or PE32+ image, in table order; empty when the bytes are
// not a PE image or it exports nothing by name.
std::vector<std::string> peExportNames(const std::vector<uint8_t>& image);

// An export directory (IMAGE_EXPORT_DIRECTORY, its three arrays and its strings) for a
// section that will be mapped at sectionRva. Every name points at one shared "ret"
// instruction inside the block, so the image stays loadable.
std::vector<uint8_t> buildExportDirectory(uint32_t sectionRva, const std::string& dllName,
                                          std::vector<std::string> names);

} // namespace winsim
