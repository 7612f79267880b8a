#include "spool/spooler_queries.h"

#include "spool/probe_and_fill.h"

namespace {

const DWORD kLocalAndConnections = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
// Spare bytes behind the printer entries; the answer itself is still asked for at the
// size the spooler named.
const SIZE_T kPrinterListSlack = 32;
// The size probe names the 64-bit environment; the answer is then taken for the
// spooler's own environment, which on a 64-bit system is the same.
const WCHAR kProbeEnvironment[] = L"Windows x64";

} // namespace

void enumAllPrinters(PrinterList& list) {
    releasePrinterList(list);
    BYTE* buffer = nullptr;
    DWORD needed = 0;
    auto enumerate = [&list](BYTE* into, DWORD size, DWORD& needs) {
        return EnumPrintersW(kLocalAndConnections, nullptr, 2, into, size, &needs, &list.count);
    };
    QueryOutcome outcome =
        probeAndFill(enumerate, ProbeRule::successMeansEmpty, kPrinterListSlack, buffer, needed);
    list.printers = reinterpret_cast<PRINTER_INFO_2W*>(buffer);
    if (outcome != QueryOutcome::filled) {
        list.count = 0;
    }
}

void releasePrinterList(PrinterList& list) {
    if (list.printers != nullptr) {
        GlobalFree(list.printers);
    }
    list = PrinterList{nullptr, 0};
}

PrinterInfo queryPrinterInfo(HANDLE printer) {
    PrinterInfo result{nullptr, 0};
    BYTE* buffer = nullptr;
    auto get = [printer](BYTE* into, DWORD size, DWORD& needs) {
        return GetPrinterW(printer, 2, into, size, &needs);
    };
    if (probeAndFill(get, ProbeRule::errorOnly, 0, buffer, result.size) != QueryOutcome::filled) {
        result.size = 0;
    }
    result.info = reinterpret_cast<PRINTER_INFO_2W*>(buffer);
    return result;
}

DriverInfo queryDriverInfo(HANDLE printer) {
    BYTE* buffer = nullptr;
    DWORD needed = 0;
    auto get = [printer](BYTE* into, DWORD size, DWORD& needs) {
        LPWSTR environment = into == nullptr ? const_cast<LPWSTR>(kProbeEnvironment) : nullptr;
        return GetPrinterDriverW(printer, environment, 2, into, size, &needs);
    };
    probeAndFill(get, ProbeRule::errorOnly, 0, buffer, needed);
    return DriverInfo{reinterpret_cast<DRIVER_INFO_2W*>(buffer)};
}

DriverList enumDrivers(const WCHAR* environment) {
    DriverList list{nullptr, kDriverListLevel, 0, false};
    BYTE* buffer = nullptr;
    DWORD needed = 0;
    auto enumerate = [&list, environment](BYTE* into, DWORD size, DWORD& needs) {
        return EnumPrinterDriversW(nullptr, const_cast<LPWSTR>(environment), kDriverListLevel, into,
                                   size, &needs, &list.count);
    };
    QueryOutcome outcome = probeAndFill(enumerate, ProbeRule::successMeansEmpty, 0, buffer, needed);
    if (outcome != QueryOutcome::filled) {
        list.count = 0;
    }
    list.failed = outcome != QueryOutcome::filled && outcome != QueryOutcome::nothingToList;
    list.drivers = reinterpret_cast<DRIVER_INFO_6W*>(buffer);
    return list;
}
