// Product printers carried across a reinstall: each removed printer that has a "SubKey"
// value is remembered and created again under its old name once the new driver is in.
#pragma once

#include <windows.h>
#include <winspool.h>

struct InstallContext;

struct KeptPrinter {
    char* subKey;             // own GlobalAlloc copy, never empty
    PRINTER_INFO_2W* printer; // the entry in the context's printer list (not owned)
    KeptPrinter* next;
};

// Puts the printer at the front of the context's kept list when it has a "SubKey".
void rememberPrinter(InstallContext& context, PRINTER_INFO_2W& printer);
// Creates every kept printer again with its settings; adds a printer "Folioscope" when
// none could be created.
void restorePrinters(InstallContext& context);
void releaseKeptPrinters(KeptPrinter* head);
