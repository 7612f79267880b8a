#include "spool/product_printers.h"

#include "record/install_context.h"
#include "log/install_log.h"
#include "log/text_utils.h"
#include "spool/kept_printers.h"
#include "spool/monitor_list.h"
#include "spool/product_names.h"
#include "spool/spooler_calls.h"

namespace {

const ACCESS_MASK kDeleteAccess = DELETE | PRINTER_ACCESS_ADMINISTER;

const WCHAR* shownName(const WCHAR* name) {
    return name != nullptr ? name : L"*";
}

// Only informs the log: the printer is added whether or not the monitor is there.
void logProductMonitorPresence(InstallContext& context) {
    logLine(context, L"Let's check our port monitors");
    MonitorList monitors;
    enumerateMonitors(monitors, context);
    if (findProductMonitor(monitors) >= 0) {
        logLine(context, L"Port monitor is found");
    } else {
        logLine(context, L"No Folioscope port monitor was found.");
        if (monitors.count > 0) {
            logMonitorList(context, monitors);
        } else {
            logLine(context, L"BTW, there is no port monitors on this system.");
        }
    }
    if (monitors.monitors != nullptr) {
        GlobalFree(monitors.monitors);
    }
}

} // namespace

bool isProductPrinter(const PRINTER_INFO_2W& printer) {
    return printer.pDriverName != nullptr && sameText(printer.pDriverName, kProductDriver);
}

void deleteProductPrinters(InstallContext& context) {
    logLine(context, L">DeleteAllPrinters");
    ++context.logDepth;
    for (DWORD i = 0; i < context.printers.count; ++i) {
        PRINTER_INFO_2W& printer = context.printers.printers[i];
        if (isProductPrinter(printer)) {
            rememberPrinter(context, printer);
            deletePrinterByName(context, printer.pPrinterName);
        }
    }
    --context.logDepth;
}

void deletePrinterByName(InstallContext& context, const WCHAR* name) {
    logLine(context, L">DeletePrinter(%s)", shownName(name));
    ++context.logDepth;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, kDeleteAccess};
    HANDLE printer = nullptr;
    if (OpenPrinterW(const_cast<LPWSTR>(name), &printer, &defaults)) {
        if (purgeAndDeletePrinter(printer)) {
            logLine(context, L"OK");
        } else {
            logError(context, 17, L"Can`t delete printer '%s'", name);
        }
        ClosePrinter(printer);
    } else {
        logError(context, 16, L"Can`t open printer '%s'", name);
    }
    --context.logDepth;
}

HANDLE addProductPrinter(InstallContext& context, const WCHAR* name) {
    logLine(context, L">AddPrinter(%s)", shownName(name));
    ++context.logDepth;
    logProductMonitorPresence(context);
    WCHAR noComment[] = L"";
    PRINTER_INFO_2W printer = {};
    printer.pPrinterName = const_cast<LPWSTR>(name);
    printer.pPortName = const_cast<LPWSTR>(kProductMonitor);
    printer.pDriverName = const_cast<LPWSTR>(kProductDriver);
    printer.pComment = noComment;
    printer.pPrintProcessor = const_cast<LPWSTR>(kPrintProcessor);
    HANDLE handle = createPrinter(printer);
    if (handle != nullptr) {
        logLine(context, L"OK :)");
    } else {
        logError(context, 15, L"Can`t add printer '%s'", name);
    }
    --context.logDepth;
    return handle;
}
