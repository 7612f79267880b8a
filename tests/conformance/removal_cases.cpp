// Taking it all down as the uninstaller does: a monitor whose port a printer uses, parking
// the printer, deleting printers and the driver with its files; and the spooler's
// answers while its service is stopped.
#include <string>

#include "battery.h"
#include "report.h"
#include "spooler_support.h"

namespace conformance {

void heldWhileStopped();
void heldAfterRestart();

namespace {

void deleteMonitor(const char* id) {
    poison();
    BOOL ok = DeleteMonitorW(nullptr, nullptr, arg(kMonitor));
    line(id, "DeleteMonitorW(" + text(kMonitor) + ")", flag(ok), GetLastError());
}

void deleteDriver(const char* id) {
    poison();
    BOOL ok =
        DeletePrinterDriverExW(nullptr, arg(kEnvironment), arg(kDriver), DPD_DELETE_ALL_FILES, 0);
    line(id, "DeletePrinterDriverExW(" + text(kDriver) + ",DPD_DELETE_ALL_FILES)", flag(ok),
         GetLastError());
}

void deletePrinter(const char* id, const WCHAR* name, ACCESS_MASK access) {
    HANDLE h = openPrinter(name, access);
    poison();
    BOOL ok = DeletePrinter(h);
    DWORD error = GetLastError();
    line(id, "DeletePrinter(" + text(name) + "," + hex(access) + ")", flag(ok), error);
    if (h) {
        ClosePrinter(h);
    }
}

void park() {
    HANDLE h = openPrinter(kPrinter, PRINTER_ALL_ACCESS);
    PRINTER_INFO_2W info = {};
    info.pPrinterName = arg(kPrinter);
    info.pPortName = arg(L"file:");
    info.pDriverName = arg(kDriver);
    info.pPrintProcessor = arg(L"WinPrint");
    info.pDatatype = arg(L"RAW");
    poison();
    BOOL ok = SetPrinterW(h, 2, reinterpret_cast<LPBYTE>(&info), 0);
    line("removal.park", "SetPrinterW(\"file:\")", flag(ok), GetLastError());
    ClosePrinter(h);
}

void stoppedCases() {
    BYTE buffer[4096];
    DWORD needed = kPoison;
    DWORD count = kPoison;
    poison();
    BOOL ok = EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer, sizeof buffer, &needed, &count);
    line("stopped.enum-printers", "EnumPrintersW(2)", flag(ok), GetLastError(),
         "returned=" + num(count));
    poison();
    ok = EnumMonitorsW(nullptr, 2, buffer, sizeof buffer, &needed, &count);
    line("stopped.enum-monitors", "EnumMonitorsW(2)", flag(ok), GetLastError(),
         "returned=" + num(count));
    HANDLE h = nullptr;
    poison();
    ok = OpenPrinterW(arg(kPrinter), &h, nullptr);
    line("stopped.open-printer", "OpenPrinterW()", flag(ok), GetLastError());
    if (ok) {
        ClosePrinter(h);
    }
    MONITOR_INFO_2W info = {arg(L"Local Port"), arg(kEnvironment), arg(L"localspl.dll")};
    poison();
    ok = AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    line("stopped.add-monitor", "AddMonitorW(\"Local Port\")", flag(ok), GetLastError());
    poison();
    ok = DeleteMonitorW(nullptr, nullptr, arg(L"Nobody:"));
    line("stopped.delete-monitor", "DeleteMonitorW(\"Nobody:\")", flag(ok), GetLastError());
    poison();
    ok = GetPrinterDriverDirectoryW(nullptr, arg(kEnvironment), 1, buffer, sizeof buffer, &needed);
    line("stopped.driver-dir", "GetPrinterDriverDirectoryW()", flag(ok), GetLastError());
    poison();
    ok = SetDefaultPrinterW(L"Nobody");
    line("stopped.set-default", "SetDefaultPrinterW(\"Nobody\")", flag(ok), GetLastError());
    heldWhileStopped();
}

} // namespace

void stoppedSpoolerCases() {
    withSpoolerStopped(stoppedCases);
    heldAfterRestart();
}

void removalCases() {
    deleteMonitor("removal.monitor.in-use");
    park();
    deleteMonitor("removal.monitor.parked");
    deleteMonitor("removal.monitor.again");
    deleteDriver("removal.driver.in-use");
    deletePrinter("removal.printer.without-delete-right", kSecond, PRINTER_ACCESS_ADMINISTER);
    deletePrinter("removal.printer.second", kSecond, PRINTER_ALL_ACCESS);
    deletePrinter("removal.printer.default", kPrinter, PRINTER_ALL_ACCESS);
    WCHAR name[64];
    DWORD chars = 64;
    poison();
    BOOL ok = GetDefaultPrinterW(name, &chars);
    line("removal.default-after", "GetDefaultPrinterW()", flag(ok), GetLastError(),
         "chars=" + num(chars));
    deleteDriver("removal.driver.unused");
    poison();
    DWORD attributes = GetFileAttributesW(join(kDriverDir, L"\\3\\confui.dll"));
    line("removal.driver.file-gone", "GetFileAttributesW(3\\confui.dll)", hex(attributes),
         GetLastError());
    deleteDriver("removal.driver.again");
}

} // namespace conformance
