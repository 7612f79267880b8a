// What every spooler entry point shares: failing with a last error, the caller's rights,
// and the printer behind a handle.
#pragma once

#include <string>

#include <windows.h>

#include "machine.h"
#include "registry_model.h"

namespace winsim::spool {

inline Spooler& spooler() {
    return machine().spooler;
}

inline BOOL fail(DWORD error) {
    machine().lastError = error;
    return FALSE;
}

// Adding or removing monitors, drivers and printers needs SERVER_ACCESS_ADMINISTER,
// which only an elevated administrator holds.
inline bool administrator() {
    return machine().settings.administrator;
}

// 0 and the printer's key, or 6 (not an open printer handle) or 1801 (the printer was
// deleted while the handle stayed open).
DWORD lookupPrinter(HANDLE handle, PrinterHandle** open, RegKey** printer);
// The same, with the last error set on failure.
RegKey* printerOfHandle(HANDLE handle, PrinterHandle** open = nullptr);

// The printer leaves the spooler: its key goes, and the user's default with it.
void removePrinter(const std::string& name);
// A purge or a finished job: a printer pending deletion goes with its last job.
void jobsChanged(const std::string& name);

} // namespace winsim::spool
