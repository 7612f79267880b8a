// Global and local memory of the simulated process. Blocks are real heap blocks (so the
// sanitizers see overruns); the model keeps the list of live ones, which is what lets a
// test's teardown find a block the program forgot to free, and, outside the sanitizer
// build, ends the process when a freed block was written past its end, as Windows does.
#pragma once

#include <cstddef>
#include <map>
#include <string>

namespace winsim {

class Memory {
  public:
    Memory() = default;
    Memory(const Memory&) = delete;
    Memory& operator=(const Memory&) = delete;
    ~Memory();
    // GMEM_FIXED semantics: the handle is the block's address. Never returns null for a
    // zero size, as Windows hands out a valid pointer then too.
    void* allocate(size_t bytes, bool zeroFill);
    // False when the pointer is not a live block of this process.
    bool release(void* block);
    bool isLive(const void* block) const;
    size_t sizeOf(const void* block) const;

    // Memory does not survive the process: a fresh or loaded machine has no blocks.
    void reset();
    bool save(const std::string&) const { return true; }
    bool load(const std::string&) {
        reset();
        return true;
    }
    size_t liveBlocks() const { return blocks_.size(); }
    // After `granted` more blocks, the next `refused` allocations fail.
    void refuseAfter(size_t granted, size_t refused) {
        grantsLeft_ = granted;
        refusalsLeft_ = refused;
    }

  private:
    bool refusesNow();

    std::map<const void*, size_t> blocks_; // address -> size asked for
    size_t grantsLeft_ = 0;
    size_t refusalsLeft_ = 0;
};

} // namespace winsim
