#include "spool/printer_parking.h"

#include <cstring>

#include <windows.h>
#include <winspool.h>

#include "record/install_context.h"
#include "log/install_log.h"
#include "log/text_utils.h"
#include "spool/product_names.h"

namespace {

const size_t kMonitorLength = sizeof(kProductMonitor) / sizeof(WCHAR) - 1;
const size_t kParkingLength = sizeof(kParkingPort) / sizeof(WCHAR) - 1;

// parkedPrinters is one block: the null-terminated entry pointers, one slot per printer
// of the list plus one, followed by as many offsets, each the character position in the
// entry's port list where "Folioscope:" was replaced. Restoring at that position (rather
// than at the first "file:") keeps a printer that already printed to "file:" as well
// in its port order.
DWORD* parkedOffsets(InstallContext& context) {
    return reinterpret_cast<DWORD*>(context.parkedPrinters + context.printers.count + 1);
}

// Replaces `removed` characters at `at` by `inserted`, moving the rest of the string,
// its terminator included. Growing relies on the room a shrink left behind.
void replaceInPlace(WCHAR* at, size_t removed, const WCHAR* inserted, size_t insertedLength) {
    size_t tail = textLength(at + removed) + 1;
    std::memmove(at + insertedLength, at + removed, tail * sizeof(WCHAR));
    std::memcpy(at, inserted, insertedLength * sizeof(WCHAR));
}

void applyPort(InstallContext& context, PRINTER_INFO_2W& printer) {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE handle = nullptr;
    if (!OpenPrinterW(printer.pPrinterName, &handle, &defaults)) {
        logLine(context, L"Can't open printer %s", printer.pPrinterName);
        return;
    }
    if (SetPrinterW(handle, 2, reinterpret_cast<LPBYTE>(&printer), 0)) {
        logLine(context, L"SetPrinter(%s) - ok", printer.pPrinterName);
    } else {
        logLine(context, L"SetPrinter(%s) - failed", printer.pPrinterName);
    }
    ClosePrinter(handle);
}

} // namespace

void parkPrinters(InstallContext& context) {
    if (context.parkedPrinters != nullptr) {
        GlobalFree(context.parkedPrinters);
        context.parkedPrinters = nullptr;
    }
    if (context.printers.count == 0) {
        return;
    }
    // A DWORD count of 12-byte slots cannot overflow the 64-bit SIZE_T.
    SIZE_T slots = static_cast<SIZE_T>(context.printers.count) + 1;
    void* block =
        GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, slots * (sizeof(PRINTER_INFO_2W*) + sizeof(DWORD)));
    // Without a record nothing could switch the printers back, so none is switched.
    if (block == nullptr) {
        return;
    }
    context.parkedPrinters = static_cast<PRINTER_INFO_2W**>(block);
    DWORD* offsets = parkedOffsets(context);
    DWORD parked = 0;
    for (DWORD i = 0; i < context.printers.count; ++i) {
        PRINTER_INFO_2W& printer = context.printers.printers[i];
        WCHAR* port = const_cast<WCHAR*>(findText(printer.pPortName, kProductMonitor));
        if (port == nullptr) {
            continue;
        }
        context.parkedPrinters[parked] = &printer;
        offsets[parked] = static_cast<DWORD>(port - printer.pPortName);
        ++parked;
        replaceInPlace(port, kMonitorLength, kParkingPort, kParkingLength);
        applyPort(context, printer);
    }
}

void restoreParkedPrinters(InstallContext& context) {
    if (context.parkedPrinters == nullptr) {
        return;
    }
    const DWORD* offsets = parkedOffsets(context);
    for (DWORD i = 0; context.parkedPrinters[i] != nullptr; ++i) {
        PRINTER_INFO_2W& printer = *context.parkedPrinters[i];
        WCHAR* port = printer.pPortName + offsets[i];
        if (std::memcmp(port, kParkingPort, kParkingLength * sizeof(WCHAR)) != 0) {
            continue;
        }
        replaceInPlace(port, kParkingLength, kProductMonitor, kMonitorLength);
        applyPort(context, printer);
    }
}
