// Printer handles and a printer's end: OpenPrinterW, ClosePrinter, DeletePrinter.
#include <winspool.h>

#include "spooler_calls.h"
#include "spooler_registry.h"
#include "winsim/text.h"

using namespace winsim;
using namespace winsim::spool;
using winsim::control::SpoolerCall;

namespace {

// The printer's generic mapping, as the spooler's security descriptors apply it.
ACCESS_MASK mapGenericAccess(ACCESS_MASK access) {
    const struct {
        ACCESS_MASK generic;
        ACCESS_MASK specific;
    } mapping[] = {{GENERIC_READ, PRINTER_READ},
                   {GENERIC_WRITE, PRINTER_WRITE},
                   {GENERIC_EXECUTE, PRINTER_EXECUTE},
                   {GENERIC_ALL, PRINTER_ALL_ACCESS}};
    ACCESS_MASK mapped = access;
    for (const auto& m : mapping) {
        if (access & m.generic) {
            mapped = (mapped & ~m.generic) | m.specific;
        }
    }
    return mapped;
}

// No defaults, or no access asked for, opens the printer for printing only.
ACCESS_MASK requestedAccess(const PRINTER_DEFAULTSW* defaults) {
    if (!defaults || defaults->DesiredAccess == 0) {
        return PRINTER_ACCESS_USE;
    }
    return mapGenericAccess(defaults->DesiredAccess);
}

// A standard user may print and read a printer's settings, nothing more.
bool granted(ACCESS_MASK access) {
    return administrator() || (access & ~(PRINTER_ACCESS_USE | READ_CONTROL)) == 0;
}

} // namespace

namespace winsim::spool {

DWORD lookupPrinter(HANDLE handle, PrinterHandle** open, RegKey** printer) {
    PrinterHandle* h = spooler().handle(handle);
    if (!h || h->server) {
        return ERROR_INVALID_HANDLE;
    }
    *printer = findPrinter(h->printer);
    if (!*printer) {
        return ERROR_INVALID_PRINTER_NAME;
    }
    if (open) {
        *open = h;
    }
    return 0;
}

RegKey* printerOfHandle(HANDLE handle, PrinterHandle** open) {
    RegKey* printer = nullptr;
    if (DWORD error = lookupPrinter(handle, open, &printer)) {
        fail(error);
        return nullptr;
    }
    return printer;
}

void removePrinter(const std::string& name) {
    const std::string device = defaultPrinterDevice();
    if (sameNameIgnoringCase(device.substr(0, device.find(',')), name)) {
        clearDefaultPrinter();
    }
    machine().registry.removeTree(Hive::LocalMachine, printerKeyPath(name));
    spooler().refreshHolds();
}

void jobsChanged(const std::string& name) {
    RegKey* printer = findPrinter(name);
    if (!printer) {
        return;
    }
    const PrinterRecord record = readPrinter(*printer);
    if (record.jobs == 0 && (record.status & PRINTER_STATUS_PENDING_DELETION)) {
        removePrinter(record.name);
    }
}

} // namespace winsim::spool

BOOL WINAPI OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault) {
    if (!phPrinter) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!spooler().answers(SpoolerCall::OpenPrinter)) {
        return FALSE;
    }
    const ACCESS_MASK access = requestedAccess(pDefault);
    if (!pPrinterName) {
        PrinterHandle server;
        server.server = true;
        server.access = access;
        *phPrinter = spooler().addHandle(server);
        return TRUE;
    }
    // A connection's "\\server\printer" is no local printer either. The machine has no
    // network: no print provider reaches the server, and the router then answers as for a
    // name nobody knows, 1801 (seen for a server whose name cannot be resolved), rather
    // than with the network provider's RPC_S_SERVER_UNAVAILABLE.
    RegKey* printer = findPrinter(toUtf8(pPrinterName));
    if (!printer) {
        return fail(ERROR_INVALID_PRINTER_NAME);
    }
    if (!granted(access)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    PrinterHandle handle;
    handle.printer = printer->name;
    handle.access = access;
    *phPrinter = spooler().addHandle(handle);
    return TRUE;
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
    if (!spooler().answers()) {
        return FALSE;
    }
    return spooler().closeHandle(hPrinter) ? TRUE : fail(ERROR_INVALID_HANDLE);
}

// The handle stays open after the printer is gone; only ClosePrinter is left to do.
BOOL WINAPI DeletePrinter(HANDLE hPrinter) {
    if (!spooler().answers(SpoolerCall::DeletePrinter)) {
        return FALSE;
    }
    PrinterHandle* open = nullptr;
    RegKey* printer = printerOfHandle(hPrinter, &open);
    if (!printer) {
        return FALSE;
    }
    if (!(open->access & DELETE)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    PrinterRecord record = readPrinter(*printer);
    if (record.jobs == 0) {
        removePrinter(record.name);
        return TRUE;
    }
    // A paused printer would never finish its jobs, so it cannot wait for them.
    if (record.status & PRINTER_STATUS_PAUSED) {
        return fail(ERROR_ACCESS_DENIED);
    }
    record.status |= PRINTER_STATUS_PENDING_DELETION;
    writePrinter(*printer, record);
    return TRUE;
}
