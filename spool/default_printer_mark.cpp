#include "spool/default_printer_mark.h"

#include <windows.h>
#include <winspool.h>

#include "record/install_context.h"
#include "log/text_utils.h"
#include "spool/spooler_queries.h"

namespace {

const DWORD kDefaultNameCapacity = 255;

} // namespace

// The flag lives only in the list: the spooler does not report it in level-2 entries.
void markDefaultPrinter(InstallContext& context) {
    enumAllPrinters(context.printers);
    WCHAR name[kDefaultNameCapacity] = {};
    DWORD capacity = kDefaultNameCapacity;
    if (!GetDefaultPrinterW(name, &capacity)) {
        return;
    }
    for (DWORD i = 0; i < context.printers.count; ++i) {
        PRINTER_INFO_2W& printer = context.printers.printers[i];
        if (printer.pPrinterName != nullptr && sameText(printer.pPrinterName, name)) {
            printer.Attributes |= PRINTER_ATTRIBUTE_DEFAULT;
        }
    }
}
