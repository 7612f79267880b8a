#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace winsim::control {

struct VersionedPeOptions {
    // The file version; the product version is used when it is not given.
    std::optional<std::array<uint16_t, 4>> fileVersion;
    // Functions the DLL exports by name, e.g. a port monitor's "InitializePrintMonitor2".
    std::vector<std::string> exports;
};

// Writes a small x64 DLL at windowsPath on the machine's drive C: whose version resource
// carries product version a.b.c.d. Missing directories are created; an existing file of
// that name (in any letter case) is replaced. False when the path is not on C:.
bool writeVersionedPe(const std::string& windowsPath, uint16_t a, uint16_t b, uint16_t c,
                      uint16_t d, const VersionedPeOptions& options = {});

enum class UnversionedPe {
    otherResources, // a resource section without RT_VERSION
    noResources,    // no resource section at all
};

// The same kind of DLL without a version resource.
bool writeUnversionedPe(const std::string& windowsPath, UnversionedPe kind);

} // namespace winsim::control
