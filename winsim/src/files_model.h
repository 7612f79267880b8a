#pragma once

#include <cstddef>
#include <string>

namespace winsim {

// Placeholder until this model is built; the machine store calls these three.
struct FileSystem {
    void reset() {}
    bool save(const std::string&) const { return true; }
    bool load(const std::string&) { return true; }
    size_t openHandles() const { return 0; }
    // Files held open by another process ("spooler", a named program) are let go of at once.
    void releaseHolds(const std::string&) {}
};

} // namespace winsim
