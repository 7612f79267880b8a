// The spooler calls that change something. Each returns what the spooler returned and
// leaves the last error for the caller's report.
#pragma once

#include <windows.h>
#include <winspool.h>

BOOL closePrinterHandle(HANDLE printer);
// The new printer's handle (the caller closes it), or null.
HANDLE createPrinter(PRINTER_INFO_2W& printer);
// Purges the queue (its result does not matter: a job that is printing stays anyway) and
// deletes the printer. The handle needs DELETE and PRINTER_ACCESS_ADMINISTER; it stays
// open.
BOOL purgeAndDeletePrinter(HANDLE printer);
// Registers the driver; the spooler copies its files from the printer-driver directory.
BOOL installDriver(DRIVER_INFO_6W& driver);
BOOL deleteProductMonitor(const WCHAR* environment);
