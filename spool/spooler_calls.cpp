#include "spool/spooler_calls.h"

#include "spool/product_names.h"

BOOL closePrinterHandle(HANDLE printer) {
    return ClosePrinter(printer);
}

HANDLE createPrinter(PRINTER_INFO_2W& printer) {
    return AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&printer));
}

BOOL purgeAndDeletePrinter(HANDLE printer) {
    SetPrinterW(printer, 0, nullptr, PRINTER_CONTROL_PURGE);
    return DeletePrinter(printer);
}

BOOL installDriver(DRIVER_INFO_6W& driver) {
    return AddPrinterDriverExW(nullptr, 6, reinterpret_cast<LPBYTE>(&driver), APD_COPY_ALL_FILES);
}

BOOL deleteProductMonitor(const WCHAR* environment) {
    return DeleteMonitorW(nullptr, const_cast<LPWSTR>(environment),
                          const_cast<LPWSTR>(kProductMonitor));
}
