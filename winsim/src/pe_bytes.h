// A read-only window on a byte buffer whose reads never leave it: every read says whether
// the bytes were there. PE files and version blocks are parsed through it, so a truncated
// or hostile file yields "not found", never a read past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace winsim::pe {

struct ByteView {
    const uint8_t* data = nullptr;
    size_t size = 0;

    ByteView() = default;
    ByteView(const uint8_t* bytes, size_t count) : data(bytes), size(count) {}
    explicit ByteView(const std::vector<uint8_t>& bytes) : data(bytes.data()), size(bytes.size()) {}

    bool holds(size_t offset, size_t count) const {
        return offset <= size && count <= size - offset;
    }
    // The bytes [offset, offset + count), or an empty view when they are not all there.
    ByteView slice(size_t offset, size_t count) const {
        return holds(offset, count) ? ByteView(data + offset, count) : ByteView();
    }
    bool u16(size_t offset, uint16_t* value) const {
        if (!holds(offset, 2)) {
            return false;
        }
        *value = static_cast<uint16_t>(data[offset] | data[offset + 1] << 8);
        return true;
    }
    bool u32(size_t offset, uint32_t* value) const {
        if (!holds(offset, 4)) {
            return false;
        }
        uint16_t low = 0;
        uint16_t high = 0;
        u16(offset, &low);
        u16(offset + 2, &high);
        *value = static_cast<uint32_t>(low) | static_cast<uint32_t>(high) << 16;
        return true;
    }
};

} // namespace winsim::pe
