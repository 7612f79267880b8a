// Port monitors: EnumMonitorsW, AddMonitorW, DeleteMonitorW.
#include <winspool.h>

#include "pe_exports.h"
#include "spooler_buffer.h"
#include "spooler_calls.h"
#include "spooler_files.h"
#include "spooler_registry.h"
#include "winsim/text.h"

using namespace winsim;
using namespace winsim::spool;
using winsim::control::SpoolerCall;

namespace {

// A monitor DLL only serves the environment of the spooler that loads it.
bool isOwnEnvironment(LPCWSTR environment) {
    const std::string name = toUtf8(environment);
    return name.empty() || sameNameIgnoringCase(name, kOwnEnvironment);
}

// What LoadLibrary and GetProcAddress in the spooler make of the DLL: 0 when it is a
// port monitor, else the error AddMonitorW fails with.
DWORD loadMonitorDll(const std::string& dll) {
    std::vector<uint8_t> image;
    if (!readWholeFile(modulePath(dll), image)) {
        return ERROR_MOD_NOT_FOUND;
    }
    if (!isPeImage(image)) {
        return ERROR_BAD_EXE_FORMAT;
    }
    for (const std::string& name : peExportNames(image)) {
        if (name == "InitializePrintMonitor2" || name == "InitializePrintMonitor") {
            return 0;
        }
    }
    return ERROR_PROC_NOT_FOUND;
}

void applyPortKnob(RegKey& monitor) {
    auto knob = spooler().monitorPorts.find(foldCase(monitor.name));
    if (knob != spooler().monitorPorts.end()) {
        setPortsOfMonitor(monitor, knob->second);
    }
}

// A monitor whose port any printer prints to cannot go.
bool portsInUse(RegKey& monitor) {
    for (const std::string& port : portsOfMonitor(monitor)) {
        for (RegKey* printer : children(printersKey())) {
            if (printerUsesPort(readPrinter(*printer), port)) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

BOOL WINAPI EnumMonitorsW(LPWSTR pName, DWORD Level, LPBYTE pMonitor, DWORD cbBuf,
                          LPDWORD pcbNeeded, LPDWORD pcReturned) {
    (void)pName;
    if (!pcbNeeded || !pcReturned) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!spooler().answers(SpoolerCall::EnumMonitors)) {
        return FALSE;
    }
    if (Level != 1 && Level != 2) {
        return fail(ERROR_INVALID_LEVEL);
    }
    const std::vector<RegKey*> monitors = listedMonitors();
    auto fill = [&monitors, Level](size_t i, void* entry, StringArea& strings) {
        const RegKey& monitor = *monitors[i];
        if (Level == 1) {
            static_cast<MONITOR_INFO_1W*>(entry)->pName = strings.put(monitor.name);
            return;
        }
        auto* info = static_cast<MONITOR_INFO_2W*>(entry);
        info->pName = strings.put(monitor.name);
        info->pEnvironment = strings.put(kOwnEnvironment);
        info->pDLLName = strings.put(Registry::getString(monitor, "Driver"));
    };
    const size_t size = Level == 1 ? sizeof(MONITOR_INFO_1W) : sizeof(MONITOR_INFO_2W);
    return answerEntries(size, monitors.size(), fill, pMonitor, cbBuf, pcbNeeded, pcReturned);
}

BOOL WINAPI AddMonitorW(LPWSTR pName, DWORD Level, LPBYTE pMonitorInfo) {
    (void)pName;
    if (!spooler().answers(SpoolerCall::AddMonitor)) {
        return FALSE;
    }
    if (Level != 2) {
        return fail(ERROR_INVALID_LEVEL);
    }
    const auto* info = reinterpret_cast<const MONITOR_INFO_2W*>(pMonitorInfo);
    const std::string name = info ? toUtf8(info->pName) : std::string();
    const std::string dll = info ? toUtf8(info->pDLLName) : std::string();
    if (name.empty() || dll.empty()) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!administrator()) {
        return fail(ERROR_ACCESS_DENIED);
    }
    if (!isOwnEnvironment(info->pEnvironment)) {
        return fail(ERROR_INVALID_ENVIRONMENT);
    }
    if (child(monitorsKey(), name)) {
        return fail(ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
    }
    if (DWORD error = loadMonitorDll(dll)) {
        return fail(error);
    }
    RegKey& monitor = *machine().registry.create(Hive::LocalMachine, monitorKeyPath(name));
    Registry::setString(monitor, "Driver", dll);
    applyPortKnob(monitor);
    spooler().refreshHolds();
    // Windows clears the last error here on purpose: installers read it after success.
    machine().lastError = ERROR_SUCCESS;
    return TRUE;
}

BOOL WINAPI DeleteMonitorW(LPWSTR pName, LPWSTR pEnvironment, LPWSTR pMonitorName) {
    (void)pName;
    if (!spooler().answers(SpoolerCall::DeleteMonitor)) {
        return FALSE;
    }
    const std::string name = toUtf8(pMonitorName);
    if (name.empty()) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!administrator()) {
        return fail(ERROR_ACCESS_DENIED);
    }
    if (!findEnvironment(pEnvironment)) {
        return fail(ERROR_INVALID_ENVIRONMENT);
    }
    RegKey* monitor = child(monitorsKey(), name);
    if (!monitor) {
        return fail(ERROR_UNKNOWN_PRINT_MONITOR);
    }
    if (portsInUse(*monitor)) {
        return fail(ERROR_PRINT_MONITOR_IN_USE);
    }
    // The DLL is unloaded, not deleted: removing the file is the installer's business.
    const std::string stored = monitor->name;
    const std::string dll = modulePath(Registry::getString(*monitor, "Driver"));
    machine().registry.removeTree(Hive::LocalMachine, monitorKeyPath(stored));
    spooler().monitorDeleted(stored, dll);
    spooler().refreshHolds();
    return TRUE;
}
