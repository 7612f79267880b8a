#include "spool/port_monitor.h"

#include <windows.h>
#include <winspool.h>

#include "log/wide_text.h"
#include "record/install_context.h"
#include "log/install_log.h"
#include "spool/file_build_number.h"
#include "spool/monitor_list.h"
#include "spool/printer_parking.h"
#include "spool/product_names.h"
#include "spool/spooler_calls.h"
#include "system/deferred_files.h"
#include "system/file_copy.h"
#include "system/spooler_service.h"

namespace {

const int kRegisterAttempts = 5;
const DWORD kRegisterPauseMs = 50;

struct MonitorFile {
    WideText path; // the system directory, and the DLL name when one is known
    bool namesFile;
};

MonitorFile monitorFileOf(InstallContext& context, const MonitorList& monitors, int index) {
    MonitorFile file{nullptr, false};
    assign(file.path, textOf(context.systemDir));
    const WCHAR* name = nullptr;
    if (index >= 0) {
        logLine(context, L"Trying to get monitor filename from MONITOR_INFO_2");
        name = monitors.monitors[index].pDLLName;
    } else {
        logLine(context, L"Computing monitor filename");
        name = context.monitorFile;
    }
    if (name != nullptr && name[0] != L'\0') {
        append(file.path, name);
        file.namesFile = true;
    }
    logLine(context, L"Auto calculated monitor file name: %s", textOf(file.path));
    return file;
}

// During a reinstall a monitor DLL of a compatible build is kept: a registered one needs
// nothing at all, an unregistered one only needs registering.
bool keepsCompatibleMonitor(InstallContext& context, const WCHAR* path, bool found) {
    if (!context.reinstall) {
        logLine(context, L"There is no check for monitor version");
        return false;
    }
    int build = fileBuildNumber(path);
    if (build >= kOldestCompatibleMonitorBuild && build <= kNewestCompatibleMonitorBuild) {
        logLine(context, L"Version (%d) is compatible, proceed without uninstall", build);
        if (found) {
            context.InstallMonitor = false;
        } else {
            context.CopyMonitor = false;
        }
        logLine(context, L"InstallMonitor == %d, CopyMonitor == %d", context.InstallMonitor ? 1 : 0,
                context.CopyMonitor ? 1 : 0);
        return true;
    }
    if (build < 0) {
        logLine(context, L"Version is unknown, proceed with reinstall");
    } else {
        logLine(context, L"Version (%d) is not supported, proceed with reinstall", build);
    }
    return false;
}

// The spooler refuses while a printer prints to the monitor's port, and a restart
// releases a monitor that is still busy. A monitor missing from the list is excused only
// by the spooler's own "unknown monitor": the list is also empty when the enumeration
// failed.
bool unregisterMonitor(InstallContext& context, bool found) {
    if (deleteProductMonitor(context.environment)) {
        return true;
    }
    if (!found && GetLastError() == ERROR_UNKNOWN_PRINT_MONITOR) {
        logLine(context,
                L"Can't delete monitor and monitor was not found. So everything should be ok");
        return false;
    }
    logLine(context, L"Can't delete monitor from the first try");
    parkPrinters(context);
    if (deleteProductMonitor(context.environment)) {
        return true;
    }
    { SpoolerRestart restart(&context); }
    if (deleteProductMonitor(context.environment)) {
        return true;
    }
    logError(context, 12, L"Can`t remove the port monitor 'Folioscope:'");
    // The monitor stays registered, so no later step would move its printers back.
    restoreParkedPrinters(context);
    return false;
}

// The running spooler maps the DLL of every registered monitor; a copy over a mapped DLL
// only succeeds with the spooler stopped.
void copyMonitorFile(InstallContext& context) {
    if (copyProductFile(context, textOf(context.systemDir), context.monitorFile, nullptr, 0,
                        false) == S_OK) {
        return;
    }
    SpoolerRestart restart(&context);
    copyProductFile(context, textOf(context.systemDir), context.monitorFile, nullptr, 0, true);
}

// A monitor copied a moment ago may not be loadable at once; the spooler gets a few
// short pauses.
bool registerMonitor(InstallContext& context) {
    MONITOR_INFO_2W info{const_cast<LPWSTR>(kProductMonitor),
                         const_cast<LPWSTR>(context.environment),
                         const_cast<LPWSTR>(context.monitorFile)};
    for (int attempt = 1; attempt <= kRegisterAttempts; ++attempt) {
        if (attempt > 1) {
            Sleep(kRegisterPauseMs);
        }
        if (AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) {
            return true;
        }
        logLine(context, L"AddMonitor - failed. Trying to wait and install again");
    }
    logError(context, 11, L"Can`t install a local port monitor'Folioscope:'");
    return false;
}

void removeListedMonitor(InstallContext& context, const MonitorList& monitors) {
    if (monitors.count > 0) {
        logMonitorList(context, monitors);
    } else {
        logLine(context, L"BTW, there is no port monitors on this system.");
    }
    int index = findProductMonitor(monitors);
    if (index < 0) {
        logLine(context, L"No Folioscope port monitor was found.");
    } else {
        logLine(context, L"Port monitor is found. Index=%d", index + 1);
    }
    MonitorFile file = monitorFileOf(context, monitors, index);
    const WCHAR* path = textOf(file.path);
    if (!keepsCompatibleMonitor(context, path, index >= 0) &&
        unregisterMonitor(context, index >= 0)) {
        if (file.namesFile && !DeleteFileW(path)) {
            addDeferredFile(context.deferredFiles, path);
        }
        logLine(context, L"Monitor was removed :)");
    }
    release(file.path);
}

} // namespace

void removePortMonitor(InstallContext& context, const MonitorList& monitors) {
    logLine(context, L">DeleteMonitor");
    ++context.logDepth;
    removeListedMonitor(context, monitors);
    --context.logDepth;
}

void installPortMonitor(InstallContext& context) {
    logLine(context, L">AddMonitor");
    ++context.logDepth;
    if (context.CopyMonitor) {
        logLine(context, L"Copy monitor file");
        copyMonitorFile(context);
    } else {
        logLine(context, L"Skip copy monitor file");
    }
    if (registerMonitor(context)) {
        logLine(context, L"AddMonitor - OK :)");
        restoreParkedPrinters(context);
    }
    --context.logDepth;
}
