#include "app/sequences.h"

#include <windows.h>

#include "log/install_log.h"
#include "log/wide_text.h"
#include "spool/kept_printers.h"
#include "spool/monitor_list.h"
#include "spool/port_monitor.h"
#include "spool/printer_driver.h"
#include "spool/product_printers.h"
#include "spool/spooler_queries.h"
#include "system/deferred_files.h"
#include "system/pending_renames.h"
#include "system/spooler_service.h"
#include "tray/tray_companion.h"

namespace {

// A reinstall starts the registered companion again at once: deleting that very file
// would leave the logon registration naming a missing program.
void stopCompanion(const InstallContext& context) {
    WideText kept = context.reinstall ? companionToStart(context) : nullptr;
    stopTrayCompanion(kept != nullptr ? textOf(kept) : nullptr);
    release(kept);
}

// Files the system queued for deletion at boot go now where they can.
void deleteQueuedDeletions() {
    PendingRenameList pending = readPendingRenames();
    deletePendingDeletions(pending);
    releasePendingRenames(pending);
}

// What is left after one more try with the spooler stopped waits for a reboot.
void deleteLeftovers(InstallContext& context) {
    if (context.deferredFiles == nullptr) {
        return;
    }
    deleteDeferredFiles(context);
    if (context.deferredFiles != nullptr) {
        SpoolerRestart restart(&context);
        deleteDeferredFiles(context);
    }
}

} // namespace

void UnInstall(InstallContext& context) {
    logLine(context, L">UnInstall");
    ++context.logDepth;
    stopCompanion(context);
    logLine(context, L"EnumMonitors");
    MonitorList monitors;
    enumerateMonitors(monitors, context);
    logLine(context, L"%d Monitors found.", static_cast<int>(monitors.count));
    logLine(context, L"EnumPrinterDrivers for %s", context.environment);
    DriverList drivers = enumDrivers(context.environment);
    logLine(context, L"%d drivers found", static_cast<int>(drivers.count));
    deleteProductPrinters(context);
    removePrinterDriver(context, drivers);
    removePortMonitor(context, monitors);
    if (context.deferredFiles != nullptr) {
        deleteDeferredFiles(context);
    }
    GlobalFree(monitors.monitors);
    GlobalFree(drivers.drivers);
    --context.logDepth;
}

// Files the removal could not delete are dropped rather than left for a reboot: the
// install writes the same names again.
void ReInstall(InstallContext& context) {
    logLine(context, L">ReInstall");
    context.logDepth += 2;
    context.reinstall = true;
    UnInstall(context);
    if (context.deferredFiles != nullptr) {
        SpoolerRestart restart(&context);
        deleteDeferredFiles(context);
        freeDeferredFiles(context.deferredFiles);
        context.deferredFiles = nullptr;
    }
    deleteQueuedDeletions();
    if (context.InstallMonitor) {
        installPortMonitor(context);
    }
    installPrinterDriver(context);
    restorePrinters(context);
    startTrayCompanion(context);
    deleteLeftovers(context);
    context.logDepth -= 2;
}

void runUninstall(InstallContext& context) {
    UnInstall(context);
    deleteQueuedDeletions();
    deleteLeftovers(context);
}
