// The answer protocol of the spooler's INFO queries (EnumPrinters, GetPrinter,
// EnumMonitors, EnumPrinterDrivers, GetPrinterDriver): the caller probes for the size,
// then passes a buffer that receives the fixed-size entries at its front and their
// strings packed at its back, so every pointer points into the caller's own buffer.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

namespace winsim::spool {

class StringArea {
  public:
    // Counts the bytes the strings take without writing them.
    StringArea() = default;
    // Writes strings downward from the (even) end of the buffer.
    StringArea(LPBYTE buffer, DWORD size);

    LPWSTR put(const std::string& utf8);
    LPWSTR putOrNull(const std::string& utf8);                // empty text is a null pointer
    LPWSTR putMulti(const std::vector<std::string>& strings); // none is a null pointer
    size_t bytes() const { return bytes_; }

  private:
    LPWSTR place(const std::u16string& chars); // chars include every terminator

    LPBYTE end_ = nullptr;
    size_t bytes_ = 0;
};

// Fills entry `index` (zeroed, entrySize bytes) with its fields and strings.
using FillEntry = std::function<void(size_t index, void* entry, StringArea& strings)>;

// Checks the buffer (1784 when a size comes without one), reports the size needed,
// fails with 122 when cbBuf is smaller, else writes `count` entries. pcReturned is null
// for the queries that answer one entry.
BOOL answerEntries(size_t entrySize, size_t count, const FillEntry& fill, LPBYTE buffer,
                   DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned);

} // namespace winsim::spool
