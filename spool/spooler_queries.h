// Spooler answers of variable size, each held in one zero-filled global-memory block.
// The strings the spooler returns live in the same block, so every pointer taken from an
// entry is valid exactly as long as the block. The holder frees it with GlobalFree.
// None of these writes to the log: a failure leaves the last error for the caller.
#pragma once

#include <windows.h>
#include <winspool.h>

#include "record/printer_list.h"

struct PrinterInfo {
    PRINTER_INFO_2W* info; // null when the query failed
    DWORD size;
};

struct DriverInfo {
    DRIVER_INFO_2W* info; // null when the query failed
};

const DWORD kDriverListLevel = 6;

struct DriverList {
    DRIVER_INFO_6W* drivers; // null when empty
    DWORD level;
    DWORD count;
    // The spooler did not answer: the empty list then says nothing about what is installed.
    bool failed;
};

// Every local printer and printer connection, level 2. Whatever the list held is freed
// first, so pointers into its old entries die.
void enumAllPrinters(PrinterList& list);
void releasePrinterList(PrinterList& list);
PrinterInfo queryPrinterInfo(HANDLE printer);
// The printer's driver, level 2, for the spooler's own environment.
DriverInfo queryDriverInfo(HANDLE printer);
// The drivers installed for the environment, level 6; `failed` tells a refused or broken
// enumeration from one that found nothing.
DriverList enumDrivers(const WCHAR* environment);
