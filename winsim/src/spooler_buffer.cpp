#include "spooler_buffer.h"

#include <cstring>

#include <winspool.h>

#include "machine.h"
#include "winsim/text.h"

namespace winsim::spool {

namespace {

// Big enough for the largest entry (PRINTER_INFO_2W, DRIVER_INFO_6W), 8-byte aligned.
constexpr size_t kScratchWords = 32;
static_assert(sizeof(PRINTER_INFO_2W) <= kScratchWords * 8, "scratch entry too small");
static_assert(sizeof(DRIVER_INFO_6W) <= kScratchWords * 8, "scratch entry too small");

} // namespace

StringArea::StringArea(LPBYTE buffer, DWORD size) : end_(buffer + (size & ~DWORD{1})) {}

LPWSTR StringArea::place(const std::u16string& chars) {
    const size_t size = chars.size() * sizeof(WCHAR);
    bytes_ += size;
    if (!end_) {
        return nullptr;
    }
    end_ -= size;
    std::memcpy(end_, chars.data(), size);
    return reinterpret_cast<LPWSTR>(end_);
}

LPWSTR StringArea::put(const std::string& utf8) {
    std::u16string chars = toUtf16(utf8);
    chars.push_back(u'\0');
    return place(chars);
}

LPWSTR StringArea::putOrNull(const std::string& utf8) {
    return utf8.empty() ? nullptr : put(utf8);
}

LPWSTR StringArea::putMulti(const std::vector<std::string>& strings) {
    if (strings.empty()) {
        return nullptr;
    }
    std::u16string chars;
    for (const std::string& s : strings) {
        chars += toUtf16(s);
        chars.push_back(u'\0');
    }
    chars.push_back(u'\0');
    return place(chars);
}

BOOL answerEntries(size_t entrySize, size_t count, const FillEntry& fill, LPBYTE buffer,
                   DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
    if (cbBuf != 0 && !buffer) {
        machine().lastError = ERROR_INVALID_USER_BUFFER;
        return FALSE;
    }
    uint64_t scratch[kScratchWords];
    StringArea measure;
    for (size_t i = 0; i < count; ++i) {
        std::memset(scratch, 0, sizeof scratch);
        fill(i, scratch, measure);
    }
    const size_t needed = entrySize * count + measure.bytes();
    *pcbNeeded = static_cast<DWORD>(needed);
    if (needed > cbBuf) {
        if (pcReturned) {
            *pcReturned = 0;
        }
        machine().lastError = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    StringArea strings(buffer, cbBuf);
    for (size_t i = 0; i < count; ++i) {
        std::memset(scratch, 0, sizeof scratch);
        fill(i, scratch, strings);
        std::memcpy(buffer + i * entrySize, scratch, entrySize);
    }
    if (pcReturned) {
        *pcReturned = static_cast<DWORD>(count);
    }
    return TRUE;
}

} // namespace winsim::spool
