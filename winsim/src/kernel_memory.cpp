#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "machine.h"

namespace winsim {

namespace {

// Windows' heap notices a write past a block's end when the block is freed and ends the
// process (STATUS_HEAP_CORRUPTION); guard bytes behind each block model that. Under
// AddressSanitizer blocks stay exact, so that the sanitizer also sees reads past them.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kGuardBytes = 0;
#else
constexpr size_t kGuardBytes = 16;
#endif
constexpr unsigned char kGuardByte = 0xFD;

void checkGuard(const void* block, size_t bytes) {
    const unsigned char* guard = static_cast<const unsigned char*>(block) + bytes;
    for (size_t i = 0; i < kGuardBytes; ++i) {
        if (guard[i] != kGuardByte) {
            std::fprintf(stderr, "winsim: heap corruption behind a block of %zu bytes\n", bytes);
            std::abort();
        }
    }
}

} // namespace

Memory::~Memory() {
    reset();
}

bool Memory::refusesNow() {
    if (refusalsLeft_ == 0) {
        return false;
    }
    if (grantsLeft_ > 0) {
        --grantsLeft_;
        return false;
    }
    --refusalsLeft_;
    return true;
}

void* Memory::allocate(size_t bytes, bool zeroFill) {
    if (refusesNow()) {
        return nullptr;
    }
    const size_t room = (bytes ? bytes : 1) + kGuardBytes;
    void* block = zeroFill ? std::calloc(1, room) : std::malloc(room);
    if (block) {
        std::memset(static_cast<unsigned char*>(block) + bytes, kGuardByte, kGuardBytes);
        blocks_[block] = bytes;
    }
    return block;
}

bool Memory::release(void* block) {
    auto it = blocks_.find(block);
    if (it == blocks_.end()) {
        return false;
    }
    checkGuard(block, it->second);
    blocks_.erase(it);
    std::free(block);
    return true;
}

bool Memory::isLive(const void* block) const {
    return blocks_.count(block) != 0;
}

size_t Memory::sizeOf(const void* block) const {
    auto it = blocks_.find(block);
    return it == blocks_.end() ? 0 : it->second;
}

void Memory::reset() {
    for (auto& entry : blocks_) {
        std::free(const_cast<void*>(entry.first));
    }
    blocks_.clear();
    refuseAfter(0, 0);
}

} // namespace winsim

namespace {

// The installer only asks for fixed blocks; a moveable block would need a lock/unlock
// layer that nothing here uses.
constexpr UINT kSupportedFlags = GMEM_FIXED | GMEM_ZEROINIT;

HANDLE allocateBlock(UINT flags, SIZE_T bytes) {
    if (flags & ~kSupportedFlags) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void* block = winsim::machine().memory.allocate(bytes, (flags & GMEM_ZEROINIT) != 0);
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return block;
}

// Freeing returns null on success and the handle itself on failure.
HANDLE freeBlock(HANDLE block) {
    if (!block || winsim::machine().memory.release(block)) {
        return nullptr;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return block;
}

} // namespace

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    return allocateBlock(uFlags, dwBytes);
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
    return freeBlock(hMem);
}

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    return allocateBlock(uFlags, uBytes);
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    return freeBlock(hMem);
}
