// The printers that use the product's driver: removing them during an uninstall (after
// remembering them for the reinstall) and creating one on the product's port.
#pragma once

#include <windows.h>
#include <winspool.h>

struct InstallContext;

// A product printer prints with the driver named exactly "Folioscope printer".
bool isProductPrinter(const PRINTER_INFO_2W& printer);
// Remembers, then deletes, every product printer of the context's printer list.
void deleteProductPrinters(InstallContext& context);
void deletePrinterByName(InstallContext& context, const WCHAR* name);
// The new printer's open handle, which the caller closes; null when the spooler refused.
HANDLE addProductPrinter(InstallContext& context, const WCHAR* name);
