// The floors: each makes only the Win32 calls that one command of the installer cannot do
// without, so that the installer's time for that command can be set against it. Built with
// the installer's flags; each imports only the DLLs its own calls need.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <winspool.h>

// Every command starts by reading its word from the command line.
inline void splitCommandLine() {
    int count = 0;
    LocalFree(CommandLineToArgvW(GetCommandLineW(), &count));
}

// A spooler answer fetched the two-call way; null when there is none.
template <typename Query> BYTE* fetch(Query query) {
    DWORD needed = 0;
    query(nullptr, 0, &needed);
    BYTE* buffer = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed));
    if (buffer != nullptr && !query(buffer, needed, &needed)) {
        HeapFree(GetProcessHeap(), 0, buffer);
        return nullptr;
    }
    return buffer;
}

// The first printer of the product's driver, in the spooler's order; null when there is none.
inline const PRINTER_INFO_2W* firstProductPrinter(BYTE*& buffer) {
    DWORD count = 0;
    buffer = fetch([&count](BYTE* into, DWORD size, DWORD* needed) {
        return EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, into, size,
                             needed, &count);
    });
    const PRINTER_INFO_2W* printers = reinterpret_cast<const PRINTER_INFO_2W*>(buffer);
    for (DWORD i = 0; buffer != nullptr && i < count; ++i) {
        if (printers[i].pDriverName != nullptr &&
            lstrcmpW(printers[i].pDriverName, L"Folioscope printer") == 0) {
            return &printers[i];
        }
    }
    return nullptr;
}
