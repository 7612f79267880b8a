#pragma once

#include <cstddef>
#include <string>

namespace winsim {

// Placeholder until this model is built; the machine store calls these three.
struct ServiceManager {
    void reset() {}
    bool save(const std::string&) const { return true; }
    bool load(const std::string&) { return true; }
    size_t openHandles() const { return 0; }
};

} // namespace winsim
