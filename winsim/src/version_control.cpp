#include "pe_resources.h"
#include "pe_writer.h"
#include "version_block.h"
#include "winsim/control.h"

namespace winsim::control {

namespace {

constexpr uint16_t kEnglishUs = 0x0409;
constexpr uint16_t kTypeRcData = 10;

bool writeDll(const std::string& windowsPath, const std::vector<pe::ResourceEntry>& resources,
              const std::vector<std::string>& exports = {}) {
    const std::string name = windowsPath.substr(windowsPath.find_last_of("\\/:") + 1);
    std::vector<uint8_t> image = pe::buildDll(resources, exports, name);
    return writeFile(windowsPath, std::string(image.begin(), image.end()));
}

} // namespace

bool writeVersionedPe(const std::string& windowsPath, uint16_t a, uint16_t b, uint16_t c,
                      uint16_t d, const VersionedPeOptions& options) {
    VersionQuad product{a, b, c, d};
    VersionQuad file = options.fileVersion.value_or(product);
    return writeDll(windowsPath,
                    {{pe::kTypeVersion, 1, kEnglishUs, buildVersionBlock(file, product)}},
                    options.exports);
}

bool writeUnversionedPe(const std::string& windowsPath, UnversionedPe kind) {
    if (kind == UnversionedPe::noResources) {
        return writeDll(windowsPath, {});
    }
    return writeDll(windowsPath, {{kTypeRcData, 1, kEnglishUs, {'d', 'a', 't', 'a'}}});
}

} // namespace winsim::control
