// The VS_VERSIONINFO block of an RT_VERSION resource: built for stand-in files, walked by
// VerQueryValueW. Every node is wLength, wValueLength, wType, a UTF-16 key, padding to a
// DWORD, the value, padding, then the child nodes, each starting on a DWORD.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "pe_bytes.h"

namespace winsim {

using VersionQuad = std::array<uint16_t, 4>; // a.b.c.d

// A version block with the fixed info, the two version strings for language 0409 in
// Unicode, and that translation.
std::vector<uint8_t> buildVersionBlock(const VersionQuad& fileVersion,
                                       const VersionQuad& productVersion);

struct VersionValue {
    size_t offset = 0;   // of the value, from the start of the block
    uint16_t length = 0; // wValueLength: bytes for binary values, characters for text
};

// Walks a sub-block path such as "\StringFileInfo\040904b0\ProductVersion" from the root
// node: components are separated by backslashes (empty ones are skipped) and matched
// without regard to case. False when a component is not there or the block is cut short.
bool findVersionValue(pe::ByteView block, const std::u16string& path, VersionValue* value);

} // namespace winsim
