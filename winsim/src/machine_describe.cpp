#include <map>
#include <string>
#include <vector>

#include "files_boot_queue.h"
#include "machine.h"
#include "machine_windows.h"
#include "spooler_registry.h"
#include "winsim/control.h"
#include "winsim/text.h"

namespace winsim::control {

namespace {

const char* const kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

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

std::string quoted(const std::string& label, const std::string& text) {
    return text.empty() ? std::string() : ", " + label + " \"" + text + "\"";
}

// Windows' own objects by name, in the spooler's order, on one line.
void listInbox(std::string& out, const char* what, const std::vector<std::string>& names) {
    std::string line;
    for (const std::string& name : names) {
        line += (line.empty() ? "" : ", ") + name;
    }
    if (!line.empty()) {
        out += std::string("inbox    ") + what + ": " + line + "\n";
    }
}

void describeMonitors(std::string& out) {
    std::vector<std::string> inboxNames;
    std::string others;
    for (const MonitorState& monitor : monitors()) {
        if (inbox::isMonitor(monitor.name)) {
            inboxNames.push_back(monitor.name);
            continue;
        }
        std::string ports;
        for (const std::string& port : monitor.ports) {
            ports += ", port " + port;
        }
        others += "monitor  " + monitor.name + " (" + monitor.dll + ports + ")\n";
    }
    listInbox(out, "monitors", inboxNames);
    out += others;
}

void describeDrivers(std::string& out) {
    std::vector<std::string> inboxNames;
    std::string others;
    for (const DriverState& d : drivers()) {
        if (inbox::isDriver(d.name)) {
            inboxNames.push_back(d.name);
            continue;
        }
        others += "driver   " + d.name + " (" + d.driverFile +
                  (d.dataFile == d.driverFile ? "" : ", data " + d.dataFile) + ", config " +
                  d.configFile + (d.helpFile.empty() ? "" : ", help " + d.helpFile) +
                  quoted("maker", d.manufacturer) + ")\n";
    }
    listInbox(out, "drivers", inboxNames);
    out += others;
}

void describePrinters(std::string& out) {
    std::vector<std::string> inboxNames;
    std::string others;
    for (const PrinterState& p : printers()) {
        if (inbox::isPrinter(p.name)) {
            inboxNames.push_back(p.name);
            continue;
        }
        others += "printer  " + p.name + " (port " + p.port + ", driver " + p.driver +
                  quoted("comment", p.comment) + quoted("location", p.location) +
                  (p.jobs ? ", jobs " + std::to_string(p.jobs) : "") +
                  (p.pendingDeletion ? ", pending deletion" : "") + ")\n";
        for (const auto& data : p.data) {
            others += "  data   " + data.first + " = " + data.second + "\n";
        }
    }
    for (const spool::PrinterRecord& c : spool::connectedPrinters()) {
        others +=
            "printer  " + c.name + " (connection, port " + c.port + ", driver " + c.driver + ")\n";
    }
    listInbox(out, "printers", inboxNames);
    out += others;
    const std::string byDefault = defaultPrinter();
    out += "default  " + (byDefault.empty() ? std::string("(none)") : byDefault) + "\n";
}

// What starts at every logon.
void describeLogon(std::string& out) {
    const RegKey* run = machine().registry.find(Hive::LocalMachine, kRunKey);
    for (const auto& value : run ? run->values : std::map<std::string, RegValue>()) {
        out += "logon    " + value.second.name + " = " +
               Registry::getString(*run, value.second.name) + "\n";
    }
}

} // namespace

std::string describeMachine() {
    std::string out = "clock    " + std::to_string(clockMs()) + " ms\n";
    out += "service  Spooler " + stateName(serviceState("Spooler")) + "\n";
    describeMonitors(out);
    describeDrivers(out);
    describePrinters(out);
    describeLogon(out);
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
