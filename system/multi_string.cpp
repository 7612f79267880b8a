#include "system/multi_string.h"

#include <cstring>

namespace {

WCHAR charAt(const void* data, size_t index) {
    WCHAR c;
    std::memcpy(&c, static_cast<const BYTE*>(data) + index * sizeof(WCHAR), sizeof(WCHAR));
    return c;
}

} // namespace

size_t scanMultiString(const void* data, size_t byteSize, MultiStringPart* parts, size_t capacity) {
    const size_t characters = byteSize / sizeof(WCHAR);
    // The characters before the empty string that ends the multi-string.
    const size_t limit = byteSize >= 2 ? (byteSize - 2) / 2 : 0;
    size_t count = 0;
    for (size_t position = 0; position < limit;) {
        size_t end = position;
        while (end < characters && charAt(data, end) != L'\0') {
            ++end;
        }
        if (count < capacity) {
            parts[count] = MultiStringPart{position, end - position};
        }
        ++count;
        position = end + 1;
    }
    return count;
}
