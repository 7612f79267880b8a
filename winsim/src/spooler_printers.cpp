// Printers: EnumPrintersW, GetPrinterW, SetPrinterW, AddPrinterW.
#include <winspool.h>

#include "spooler_buffer.h"
#include "spooler_calls.h"
#include "spooler_registry.h"
#include "winsim/text.h"

using namespace winsim;
using namespace winsim::spool;
using winsim::control::SpoolerCall;

namespace {

void fillPrinter(const PrinterRecord& p, void* entry, StringArea& s) {
    auto* info = static_cast<PRINTER_INFO_2W*>(entry);
    info->pServerName = s.putOrNull(p.server);
    info->pPrinterName = s.put(p.name);
    info->pShareName = s.put(p.shareName);
    info->pPortName = s.put(p.port);
    info->pDriverName = s.put(p.driver);
    info->pComment = s.put(p.comment);
    info->pLocation = s.put(p.location);
    info->pSepFile = s.put(p.sepFile);
    info->pPrintProcessor = s.put(p.printProcessor);
    info->pDatatype = s.put(p.datatype);
    info->pParameters = s.put(p.parameters);
    info->Attributes = p.attributes;
    info->Priority = p.priority;
    info->DefaultPriority = p.defaultPriority;
    info->StartTime = p.startTime;
    info->UntilTime = p.untilTime;
    info->Status = p.status;
    info->cJobs = p.jobs;
}

bool allPortsExist(const std::string& ports) {
    const std::vector<std::string> names = splitPortList(ports);
    for (const std::string& port : names) {
        if (!portExists(port)) {
            return false;
        }
    }
    return !names.empty();
}

// What the spooler checks of a PRINTER_INFO_2W before it stores one, in its order.
DWORD checkPrinterInfo(const PRINTER_INFO_2W& info) {
    if (!info.pPrinterName || !info.pPortName || !info.pDriverName || !info.pPrintProcessor) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!findDriver(toUtf8(info.pDriverName))) {
        return ERROR_UNKNOWN_PRINTER_DRIVER;
    }
    if (!allPortsExist(toUtf8(info.pPortName))) {
        return ERROR_UNKNOWN_PORT;
    }
    if (!printProcessorExists(toUtf8(info.pPrintProcessor))) {
        return ERROR_UNKNOWN_PRINTPROCESSOR;
    }
    return 0;
}

// Status, cJobs, AveragePPM and the server name are the spooler's, never the caller's.
// PRINTER_ATTRIBUTE_DEFAULT is a Windows 9x flag: on NT the user's default printer is
// kept per user, so the bit is not stored.
void applyPrinterInfo(const PRINTER_INFO_2W& info, PrinterRecord& p) {
    p.shareName = toUtf8(info.pShareName);
    p.port = toUtf8(info.pPortName);
    p.driver = toUtf8(info.pDriverName);
    p.comment = toUtf8(info.pComment);
    p.location = toUtf8(info.pLocation);
    p.sepFile = toUtf8(info.pSepFile);
    p.printProcessor = toUtf8(info.pPrintProcessor);
    p.datatype = info.pDatatype && *info.pDatatype ? toUtf8(info.pDatatype) : "RAW";
    p.parameters = toUtf8(info.pParameters);
    p.attributes = info.Attributes & ~DWORD{PRINTER_ATTRIBUTE_DEFAULT};
    p.priority = info.Priority;
    p.defaultPriority = info.DefaultPriority;
    p.startTime = info.StartTime;
    p.untilTime = info.UntilTime;
}

BOOL controlPrinter(RegKey& printer, DWORD command) {
    PrinterRecord record = readPrinter(printer);
    switch (command) {
    case PRINTER_CONTROL_PAUSE:
        record.status |= PRINTER_STATUS_PAUSED;
        break;
    case PRINTER_CONTROL_RESUME:
        record.status &= ~DWORD{PRINTER_STATUS_PAUSED};
        break;
    case PRINTER_CONTROL_PURGE:
        record.jobs = 0;
        break;
    default:
        return fail(ERROR_INVALID_PRINTER_COMMAND);
    }
    writePrinter(printer, record);
    jobsChanged(record.name);
    return TRUE;
}

BOOL updatePrinter(RegKey& printer, const PRINTER_INFO_2W& info) {
    if (DWORD error = checkPrinterInfo(info)) {
        return fail(error);
    }
    PrinterRecord record = readPrinter(printer);
    applyPrinterInfo(info, record);
    writePrinter(printer, record);
    spooler().refreshHolds();
    return TRUE;
}

bool validPrinterName(const std::string& name) {
    return !name.empty() && name.find_first_of(",\\") == std::string::npos;
}

// In the spooler's order: the record itself, the caller's rights, the objects it names,
// then the name. A printer pending deletion under the name is revived, not refused.
DWORD checkNewPrinter(const PRINTER_INFO_2W* info, RegKey** revived) {
    if (!info || info->Status || info->cJobs || info->AveragePPM) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!administrator()) {
        return ERROR_ACCESS_DENIED;
    }
    if (DWORD error = checkPrinterInfo(*info)) {
        return error;
    }
    const std::string name = toUtf8(info->pPrinterName);
    RegKey* existing = findPrinter(name);
    if (existing && !(readPrinter(*existing).status & PRINTER_STATUS_PENDING_DELETION)) {
        return ERROR_PRINTER_ALREADY_EXISTS;
    }
    if (!validPrinterName(name)) {
        return ERROR_INVALID_PRINTER_NAME;
    }
    *revived = existing;
    return 0;
}

} // namespace

// The local printers, then the user's connections: the router asks the local print
// provider first, then the network provider that keeps the connections.
BOOL WINAPI EnumPrintersW(DWORD Flags, LPWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                          LPDWORD pcbNeeded, LPDWORD pcReturned) {
    (void)Name;
    if (!pcbNeeded || !pcReturned) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!spooler().answers(SpoolerCall::EnumPrinters)) {
        return FALSE;
    }
    if (Level != 2) {
        return fail(ERROR_INVALID_LEVEL);
    }
    std::vector<PrinterRecord> printers;
    if (Flags & PRINTER_ENUM_LOCAL) {
        for (RegKey* printer : children(printersKey())) {
            printers.push_back(readPrinter(*printer));
        }
    }
    if (Flags & PRINTER_ENUM_CONNECTIONS) {
        const std::vector<PrinterRecord> connections = connectedPrinters();
        printers.insert(printers.end(), connections.begin(), connections.end());
    }
    auto fill = [&printers](size_t i, void* entry, StringArea& strings) {
        fillPrinter(printers[i], entry, strings);
    };
    if (!answerEntries(sizeof(PRINTER_INFO_2W), printers.size(), fill, pPrinterEnum, cbBuf,
                       pcbNeeded, pcReturned)) {
        return FALSE;
    }
    // Windows reports an empty list with the last error cleared.
    if (printers.empty()) {
        machine().lastError = ERROR_SUCCESS;
    }
    return TRUE;
}

BOOL WINAPI GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf,
                        LPDWORD pcbNeeded) {
    if (!pcbNeeded) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!spooler().answers(SpoolerCall::GetPrinter)) {
        return FALSE;
    }
    RegKey* printer = printerOfHandle(hPrinter);
    if (!printer) {
        return FALSE;
    }
    if (Level != 2) {
        return fail(ERROR_INVALID_LEVEL);
    }
    const PrinterRecord record = readPrinter(*printer);
    auto fill = [&record](size_t, void* entry, StringArea& strings) {
        fillPrinter(record, entry, strings);
    };
    return answerEntries(sizeof(PRINTER_INFO_2W), 1, fill, pPrinter, cbBuf, pcbNeeded, nullptr);
}

// Level 0 carries a command (pause, resume, purge); level 2 the printer's settings. A
// printer is not renamed here: the name in the record is not looked at.
BOOL WINAPI SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
    if (!spooler().answers(SpoolerCall::SetPrinter)) {
        return FALSE;
    }
    PrinterHandle* open = nullptr;
    RegKey* printer = printerOfHandle(hPrinter, &open);
    if (!printer) {
        return FALSE;
    }
    if (!(open->access & PRINTER_ACCESS_ADMINISTER)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    if (Level == 0) {
        return controlPrinter(*printer, Command);
    }
    if (Command != 0 || Level != 2) {
        return fail(ERROR_INVALID_LEVEL);
    }
    if (!pPrinter) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    return updatePrinter(*printer, *reinterpret_cast<const PRINTER_INFO_2W*>(pPrinter));
}

HANDLE WINAPI AddPrinterW(LPWSTR pName, DWORD Level, LPBYTE pPrinter) {
    (void)pName;
    if (!spooler().answers(SpoolerCall::AddPrinter)) {
        return nullptr;
    }
    if (Level != 2) {
        fail(ERROR_INVALID_LEVEL);
        return nullptr;
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(pPrinter);
    RegKey* revived = nullptr;
    if (DWORD error = checkNewPrinter(info, &revived)) {
        fail(error);
        return nullptr;
    }
    const std::string name = toUtf8(info->pPrinterName);
    // A printer pending deletion under this name is revived with the new settings.
    PrinterRecord record = revived ? readPrinter(*revived) : PrinterRecord();
    record.status &= ~DWORD{PRINTER_STATUS_PENDING_DELETION};
    applyPrinterInfo(*info, record);
    RegKey& key = *machine().registry.create(Hive::LocalMachine, printerKeyPath(name));
    record.name = key.name;
    writePrinter(key, record);
    machine().registry.create(Hive::LocalMachine, printerKeyPath(name) + "\\PrinterDriverData");
    spooler().refreshHolds();
    PrinterHandle handle;
    handle.printer = key.name;
    handle.access = PRINTER_ALL_ACCESS;
    return spooler().addHandle(handle);
}
