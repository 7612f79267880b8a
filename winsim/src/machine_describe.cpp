#include <string>

#include "files_boot_queue.h"
#include "machine.h"
#include "winsim/control.h"
#include "winsim/text.h"

namespace winsim::control {

namespace {

const char* const kProductDlls[] = {"orvmon64.dll", "orvdrv64.dll", "orvui64.dll"};
const char* const kProductDir = "C:\\Program Files\\Folioscope\\";

std::string stateName(uint32_t state) {
    switch (state) {
    case SERVICE_RUNNING:
        return "running";
    case SERVICE_STOPPED:
        return "stopped";
    case SERVICE_START_PENDING:
        return "starting";
    case SERVICE_STOP_PENDING:
        return "stopping";
    default:
        return "state " + std::to_string(state);
    }
}

void describePrinters(std::string& out) {
    for (const PrinterState& printer : printers()) {
        out += "printer  " + printer.name + " (port " + printer.port + ", driver " +
               printer.driver + ")\n";
    }
    const std::string byDefault = defaultPrinter();
    out += "default  " + (byDefault.empty() ? std::string("(none)") : byDefault) + "\n";
}

} // namespace

void demoMachine(const std::string& hostDir) {
    freshMachine(hostDir);
    const std::string dir = kProductDir;
    VersionedPeOptions monitor;
    monitor.exports = {"InitializePrintMonitor2"};
    writeVersionedPe(dir + kProductDlls[0], 3, 0, 0, 2060, monitor);
    writeVersionedPe(dir + kProductDlls[1], 3, 0, 0, 2060);
    writeVersionedPe(dir + kProductDlls[2], 3, 0, 0, 2060);
    writeFile(dir + "orvhelp.chm", "ITSF help");
    writeVersionedPe(dir + "foltray.exe", 3, 0, 0, 2060);
}

std::string describeMachine() {
    std::string out = "clock    " + std::to_string(clockMs()) + " ms\n";
    out += "service  Spooler " + stateName(serviceState("Spooler")) + "\n";
    for (const MonitorState& monitor : monitors()) {
        out += "monitor  " + monitor.name + " (" + monitor.dll + ")\n";
    }
    for (const DriverState& driver : drivers()) {
        out += "driver   " + driver.name + " (" + driver.driverFile + ")\n";
    }
    describePrinters(out);
    for (const BootOperation& operation : queuedBootOperations()) {
        out += "at boot  " +
               (operation.second.empty()
                    ? "delete " + toUtf8(operation.first)
                    : "move " + toUtf8(operation.first) + " to " + toUtf8(operation.second)) +
               "\n";
    }
    return out + describePrograms();
}

} // namespace winsim::control
