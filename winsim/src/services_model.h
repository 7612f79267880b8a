#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace winsim {

// Placeholder until this model is built; the machine store calls these three.
struct ServiceManager {
    void reset() {}
    bool save(const std::string&) const { return true; }
    bool load(const std::string&) { return true; }
    size_t openHandles() const { return 0; }
    bool isRunning(const std::string&) const { return true; }
    // Called whenever the virtual clock moves: pending state changes that are due happen here.
    void onClock(uint64_t) {}
};

} // namespace winsim
