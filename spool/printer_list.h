// Printers as the spooler reports them: one zero-filled global-memory buffer of
// PRINTER_INFO_2W entries and their count.
#pragma once

#include <windows.h>

struct _PRINTER_INFO_2W;

struct PrinterList {
    _PRINTER_INFO_2W* printers;
    DWORD count;
};
