#include <array>
#include <cstdlib>
#include <sstream>

#include <winspool.h>

#include "pe_writer.h"
#include "spooler_calls.h"
#include "spooler_files.h"
#include "spooler_registry.h"
#include "winsim/control.h"
#include "winsim/text.h"

namespace winsim::control {

namespace {

using namespace winsim::spool;

// "3.0.0.2060" as four numbers; false for anything else.
bool parseVersion(const std::string& text, std::array<uint16_t, 4>& parts) {
    std::istringstream in(text);
    std::string part;
    for (uint16_t& value : parts) {
        if (!std::getline(in, part, '.') || part.empty() ||
            part.find_first_not_of("0123456789") != std::string::npos || part.size() > 5) {
            return false;
        }
        value = static_cast<uint16_t>(std::strtoul(part.c_str(), nullptr, 10));
    }
    return in.eof();
}

void writeDllStandIn(const std::string& path, const std::string& version,
                     const std::vector<std::string>& exports) {
    std::array<uint16_t, 4> v{};
    if (parseVersion(version, v)) {
        VersionedPeOptions options;
        options.exports = exports;
        writeVersionedPe(path, v[0], v[1], v[2], v[3], options);
    } else {
        const std::vector<uint8_t> image = pe::buildDll({}, exports, fileNamePart(path));
        writeFile(path, std::string(image.begin(), image.end()));
    }
}

// REG_SZ data as the ANSI calls store it, without its terminator; a reader that trusts
// the terminator runs past a value stored without one, so that is shown.
std::string storedText(const RegValue& value) {
    std::string bytes(value.data.begin(), value.data.end());
    if (value.type == REG_SZ && !bytes.empty() && bytes.back() == '\0') {
        bytes.pop_back();
    } else if (value.type == REG_SZ) {
        bytes += "<unterminated>";
    }
    return bytes;
}

void collectData(const RegKey& key, const std::string& path,
                 std::map<std::string, std::string>& data) {
    for (const auto& entry : key.values) {
        data[path + "\\" + entry.second.name] = storedText(entry.second);
    }
    for (const auto& sub : key.subkeys) {
        collectData(*sub.second, path + "\\" + sub.second->name, data);
    }
}

} // namespace

void failSpoolerCall(SpoolerCall call, unsigned times, uint32_t error, unsigned after) {
    machine().spooler.faults[call] = CallFault{times, error, after};
}

void answerDriverDirectoryWithoutSize(unsigned times) {
    machine().spooler.sizelessDirectoryAnswers = times;
}

void setPrinterJobs(const std::string& printer, uint32_t jobs) {
    RegKey* key = findPrinter(printer);
    if (!key) {
        return;
    }
    PrinterRecord record = readPrinter(*key);
    record.jobs = jobs;
    writePrinter(*key, record);
    jobsChanged(record.name);
}

void setMonitorPorts(const std::string& monitor, const std::vector<std::string>& ports) {
    machine().spooler.monitorPorts[foldCase(monitor)] = ports;
    if (RegKey* key = child(monitorsKey(), monitor)) {
        setPortsOfMonitor(*key, ports);
    }
}

void keepMonitorDllAfterDelete(const std::string& monitor, bool keep) {
    std::set<std::string>& monitors = machine().spooler.keepDllAfterDelete;
    if (keep) {
        monitors.insert(foldCase(monitor));
    } else {
        monitors.erase(foldCase(monitor));
    }
}

void addPrinter(const PrinterSetup& setup) {
    const std::string path = printerKeyPath(setup.name);
    PrinterRecord record;
    record.name = setup.name;
    record.port = setup.port;
    record.driver = setup.driver;
    record.comment = setup.comment;
    record.location = setup.location;
    record.printProcessor = setup.printProcessor;
    record.datatype = "RAW";
    record.jobs = setup.jobs;
    writePrinter(*machine().registry.create(Hive::LocalMachine, path), record);
    machine().registry.create(Hive::LocalMachine, path + "\\PrinterDriverData");
    for (const PrinterData& data : setup.data) {
        RegKey& key = *machine().registry.create(Hive::LocalMachine, path + "\\" + data.key);
        Registry::setValue(key, data.value, REG_SZ, data.text.c_str(), data.text.size() + 1);
    }
    machine().spooler.refreshHolds();
}

void registerMonitor(const std::string& name, const std::string& dll, const std::string& version) {
    writeDllStandIn(modulePath(dll), version, {"InitializePrintMonitor2"});
    Registry::setString(*machine().registry.create(Hive::LocalMachine, monitorKeyPath(name)),
                        "Driver", dll);
    machine().spooler.refreshHolds();
}

void registerDriver(const DriverSetup& setup) {
    RegKey& environment = *findEnvironment(nullptr);
    const std::string directory = driverDirectory(environment) + "\\3\\";
    writeDllStandIn(directory + setup.driverFile, setup.version, {});
    writeDllStandIn(directory + setup.configFile, setup.version, {});
    if (!setup.helpFile.empty()) {
        writeFile(directory + setup.helpFile, "help file of " + setup.name);
    }
    DriverRecord driver;
    driver.driverFile = setup.driverFile;
    driver.dataFile = setup.driverFile;
    driver.configFile = setup.configFile;
    driver.helpFile = setup.helpFile;
    driver.manufacturer = setup.manufacturer;
    driver.provider = setup.provider;
    driver.oemUrl = setup.oemUrl;
    writeDriver(
        *machine().registry.create(Hive::LocalMachine, environmentKeyPath(environment.name) +
                                                           "\\Drivers\\Version-3\\" + setup.name),
        driver);
    machine().spooler.refreshHolds();
}

void setDefaultPrinter(const std::string& printer) {
    RegKey* key = findPrinter(printer);
    setDefaultPrinterDevice(printer, key ? readPrinter(*key).port : std::string());
}

std::vector<PrinterState> printers() {
    std::vector<PrinterState> states;
    for (RegKey* key : children(printersKey())) {
        const PrinterRecord record = readPrinter(*key);
        PrinterState state;
        state.name = record.name;
        state.port = record.port;
        state.driver = record.driver;
        state.comment = record.comment;
        state.location = record.location;
        state.printProcessor = record.printProcessor;
        state.attributes = record.attributes;
        state.jobs = record.jobs;
        state.pendingDeletion = (record.status & PRINTER_STATUS_PENDING_DELETION) != 0;
        for (const auto& sub : key->subkeys) {
            collectData(*sub.second, sub.second->name, state.data);
        }
        states.push_back(state);
    }
    return states;
}

std::vector<MonitorState> monitors() {
    std::vector<MonitorState> states;
    for (RegKey* key : listedMonitors()) {
        states.push_back({key->name, Registry::getString(*key, "Driver"), portsOfMonitor(*key)});
    }
    return states;
}

std::vector<DriverState> drivers() {
    std::vector<DriverState> states;
    for (RegKey* key : listedDrivers(*findEnvironment(nullptr))) {
        const DriverRecord d = readDriver(*key);
        states.push_back({key->name, d.driverFile, d.dataFile, d.configFile, d.helpFile,
                          d.manufacturer, d.provider, d.oemUrl});
    }
    return states;
}

std::string defaultPrinter() {
    const std::string device = defaultPrinterDevice();
    return device.substr(0, device.find(','));
}

} // namespace winsim::control
