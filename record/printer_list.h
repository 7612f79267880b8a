// The spooler's list of printers as one zero-filled global-memory block (filled and freed
// by spool/spooler_queries.h). The strings live in the same block, so every pointer taken
// from an entry is valid exactly as long as the block.
#pragma once

#include <windows.h>
#include <winspool.h>

struct PrinterList {
    PRINTER_INFO_2W* printers; // null when empty
    DWORD count;
};
