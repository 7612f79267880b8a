#include "spool/status_commands.h"

#include <windows.h>
#include <winspool.h>

#include "spool/file_build_number.h"
#include "spool/product_printers.h"
#include "spool/spooler_calls.h"
#include "spool/spooler_queries.h"

namespace {

const DWORD kDefaultNameCapacity = 260;
// Drivers older than this build lack what the current product needs.
const int kOldestCurrentDriverBuild = 2044;

// Only the first product printer in the spooler's order is ever looked at.
PRINTER_INFO_2W* firstProductPrinter(const PrinterList& list) {
    for (DWORD i = 0; i < list.count; ++i) {
        if (isProductPrinter(list.printers[i])) {
            return &list.printers[i];
        }
    }
    return nullptr;
}

bool driverOfPrinterIsCurrent(const PRINTER_INFO_2W& printer) {
    HANDLE handle = nullptr;
    if (!OpenPrinterW(printer.pPrinterName, &handle, nullptr)) {
        return false;
    }
    DriverInfo driver = queryDriverInfo(handle);
    bool current = driver.info != nullptr && driver.info->pDriverPath != nullptr &&
                   fileBuildNumber(driver.info->pDriverPath) >= kOldestCurrentDriverBuild;
    closePrinterHandle(handle);
    if (driver.info != nullptr) {
        GlobalFree(driver.info);
    }
    return current;
}

} // namespace

// What the query returns does not matter: an empty name means no usable default.
bool defaultIsOtherPrinter() {
    WCHAR name[kDefaultNameCapacity] = {};
    DWORD capacity = kDefaultNameCapacity;
    GetDefaultPrinterW(name, &capacity);
    if (name[0] == L'\0') {
        return true;
    }
    HANDLE handle = nullptr;
    if (!OpenPrinterW(name, &handle, nullptr)) {
        return true;
    }
    PrinterInfo info = queryPrinterInfo(handle);
    bool other = info.info == nullptr || !isProductPrinter(*info.info);
    closePrinterHandle(handle);
    if (info.info != nullptr) {
        GlobalFree(info.info);
    }
    return other;
}

bool driverIsCurrent() {
    PrinterList list{nullptr, 0};
    enumAllPrinters(list);
    PRINTER_INFO_2W* printer = firstProductPrinter(list);
    bool current = printer != nullptr && driverOfPrinterIsCurrent(*printer);
    releasePrinterList(list);
    return current;
}

void makeProductPrinterDefault() {
    PrinterList list{nullptr, 0};
    enumAllPrinters(list);
    PRINTER_INFO_2W* printer = firstProductPrinter(list);
    if (printer != nullptr) {
        SetDefaultPrinterW(printer->pPrinterName);
    }
    releasePrinterList(list);
}
