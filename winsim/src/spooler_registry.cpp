#include "spooler_registry.h"

#include <algorithm>
#include <cstring>

#include "machine.h"
#include "spooler_files.h"
#include "winsim/text.h"

namespace winsim::spool {

const char kOwnEnvironment[] = "Windows x64";

namespace {

const char kPrint[] = "SYSTEM\\CurrentControlSet\\Control\\Print";
const char kMonitorPorts[] = "Ports";

RegKey& hklm(const std::string& path) {
    return *machine().registry.create(Hive::LocalMachine, path);
}

void setBinary(RegKey& key, const char* name, const void* data, size_t size) {
    Registry::setValue(key, name, REG_BINARY, data, size);
}

// A binary value read into `out` when it has exactly that size.
void getBinary(const RegKey& key, const char* name, void* out, size_t size) {
    const RegValue* v = Registry::value(key, name);
    if (v && v->data.size() == size) {
        std::memcpy(out, v->data.data(), size);
    }
}

} // namespace

std::string monitorKeyPath(const std::string& monitor) {
    return std::string(kPrint) + "\\Monitors\\" + monitor;
}

std::string environmentKeyPath(const std::string& environment) {
    return std::string(kPrint) + "\\Environments\\" + environment;
}

std::string printerKeyPath(const std::string& printer) {
    return std::string(kPrint) + "\\Printers\\" + printer;
}

RegKey& monitorsKey() {
    return hklm(monitorKeyPath(""));
}

RegKey& environmentsKey() {
    return hklm(environmentKeyPath(""));
}

RegKey& printersKey() {
    return hklm(printerKeyPath(""));
}

RegKey& localPortsKey() {
    return hklm("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports");
}

RegKey& userWindowsKey() {
    return *machine().registry.create(Hive::CurrentUser,
                                      "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows");
}

RegKey* child(RegKey& parent, const std::string& name) {
    auto it = parent.subkeys.find(foldCase(name));
    return it == parent.subkeys.end() ? nullptr : it->second.get();
}

std::vector<RegKey*> children(RegKey& parent) {
    std::vector<RegKey*> keys;
    for (auto& entry : parent.subkeys) {
        keys.push_back(entry.second.get());
    }
    return keys;
}

// The spooler reads its monitors and drivers from the registry at start, each one put at
// the head of its list: EnumMonitors and EnumPrinterDrivers answer in the reverse of the
// registry's order.
std::vector<RegKey*> listedMonitors() {
    std::vector<RegKey*> keys = children(monitorsKey());
    std::reverse(keys.begin(), keys.end());
    return keys;
}

std::vector<RegKey*> listedDrivers(RegKey& environment) {
    std::vector<RegKey*> keys;
    RegKey* versions = child(environment, "Drivers");
    for (RegKey* version : versions ? children(*versions) : std::vector<RegKey*>()) {
        const std::vector<RegKey*> drivers = children(*version);
        keys.insert(keys.end(), drivers.begin(), drivers.end());
    }
    std::reverse(keys.begin(), keys.end());
    return keys;
}

// The Local Port monitor lists its ports as values of one key; other monitors keep them
// under their own key. A monitor that keeps none offers the port named like itself.
std::vector<std::string> portsOfMonitor(RegKey& monitor) {
    std::vector<std::string> ports;
    if (sameNameIgnoringCase(monitor.name, "Local Port")) {
        for (const auto& entry : localPortsKey().values) {
            ports.push_back(entry.second.name);
        }
        return ports;
    }
    RegKey* own = child(monitor, kMonitorPorts);
    if (!own) {
        return {monitor.name};
    }
    for (RegKey* port : children(*own)) {
        ports.push_back(port->name);
    }
    return ports;
}

void setPortsOfMonitor(RegKey& monitor, const std::vector<std::string>& ports) {
    Registry& registry = machine().registry;
    if (sameNameIgnoringCase(monitor.name, "Local Port")) {
        localPortsKey().values.clear();
        for (const std::string& port : ports) {
            Registry::setString(localPortsKey(), port, "");
        }
        return;
    }
    const std::string path = monitorKeyPath(monitor.name) + "\\" + kMonitorPorts;
    registry.removeTree(Hive::LocalMachine, path);
    registry.create(Hive::LocalMachine, path);
    for (const std::string& port : ports) {
        registry.create(Hive::LocalMachine, path + "\\" + port);
    }
}

bool portExists(const std::string& port) {
    for (RegKey* monitor : children(monitorsKey())) {
        for (const std::string& offered : portsOfMonitor(*monitor)) {
            if (sameNameIgnoringCase(offered, port)) {
                return true;
            }
        }
    }
    return false;
}

std::vector<std::string> splitPortList(const std::string& ports) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= ports.size()) {
        size_t comma = ports.find(',', start);
        if (comma == std::string::npos) {
            comma = ports.size();
        }
        if (comma > start) {
            names.push_back(ports.substr(start, comma - start));
        }
        start = comma + 1;
    }
    return names;
}

RegKey* findEnvironment(LPCWSTR name) {
    std::string wanted = toUtf8(name);
    return child(environmentsKey(), wanted.empty() ? kOwnEnvironment : wanted);
}

std::string driverDirectory(const RegKey& environment) {
    return systemDirectory() + "\\spool\\DRIVERS\\" + Registry::getString(environment, "Directory");
}

RegKey& driversKey(RegKey& environment) {
    return hklm(environmentKeyPath(environment.name) + "\\Drivers\\Version-3");
}

RegKey* findDriverIn(RegKey& environment, const std::string& name) {
    for (RegKey* driver : listedDrivers(environment)) {
        if (sameNameIgnoringCase(driver->name, name)) {
            return driver;
        }
    }
    return nullptr;
}

RegKey* findDriver(const std::string& name) {
    RegKey* environment = findEnvironment(nullptr);
    return environment ? findDriverIn(*environment, name) : nullptr;
}

bool printProcessorExists(const std::string& name) {
    RegKey* environment = findEnvironment(nullptr);
    RegKey* processors = environment ? child(*environment, "Print Processors") : nullptr;
    return processors && child(*processors, name);
}

DriverRecord readDriver(const RegKey& key) {
    DriverRecord d;
    d.driverFile = Registry::getString(key, "Driver");
    d.dataFile = Registry::getString(key, "Data File");
    d.configFile = Registry::getString(key, "Configuration File");
    d.helpFile = Registry::getString(key, "Help File");
    d.dependentFiles = Registry::getMultiString(key, "Dependent Files");
    d.monitor = Registry::getString(key, "Monitor");
    d.datatype = Registry::getString(key, "Datatype");
    d.previousNames = Registry::getMultiString(key, "Previous Names");
    d.version = Registry::getDword(key, "Version", 3);
    d.manufacturer = Registry::getString(key, "Manufacturer");
    d.oemUrl = Registry::getString(key, "OEM URL");
    d.hardwareId = Registry::getString(key, "HardwareID");
    d.provider = Registry::getString(key, "Provider");
    getBinary(key, "DriverDate", &d.date, sizeof d.date);
    getBinary(key, "DriverVersion", &d.driverVersion, sizeof d.driverVersion);
    return d;
}

void writeDriver(RegKey& key, const DriverRecord& d) {
    Registry::setString(key, "Driver", d.driverFile);
    Registry::setString(key, "Data File", d.dataFile);
    Registry::setString(key, "Configuration File", d.configFile);
    Registry::setString(key, "Help File", d.helpFile);
    Registry::setMultiString(key, "Dependent Files", d.dependentFiles);
    Registry::setString(key, "Monitor", d.monitor);
    Registry::setString(key, "Datatype", d.datatype);
    Registry::setMultiString(key, "Previous Names", d.previousNames);
    Registry::setDword(key, "Version", d.version);
    Registry::setString(key, "Manufacturer", d.manufacturer);
    Registry::setString(key, "OEM URL", d.oemUrl);
    Registry::setString(key, "HardwareID", d.hardwareId);
    Registry::setString(key, "Provider", d.provider);
    setBinary(key, "DriverDate", &d.date, sizeof d.date);
    setBinary(key, "DriverVersion", &d.driverVersion, sizeof d.driverVersion);
}

std::vector<std::string> filesOfDriver(const DriverRecord& d) {
    std::vector<std::string> files;
    auto add = [&files](const std::string& name) {
        if (name.empty()) {
            return;
        }
        for (const std::string& known : files) {
            if (sameNameIgnoringCase(known, name)) {
                return;
            }
        }
        files.push_back(name);
    };
    add(d.driverFile);
    add(d.dataFile);
    add(d.configFile);
    add(d.helpFile);
    for (const std::string& name : d.dependentFiles) {
        add(name);
    }
    return files;
}

std::string driverFilePath(const RegKey& environment, const DriverRecord& driver,
                           const std::string& file) {
    if (file.find('\\') != std::string::npos) {
        return file;
    }
    return driverDirectory(environment) + "\\" + std::to_string(driver.version) + "\\" + file;
}

PrinterRecord readPrinter(const RegKey& key) {
    PrinterRecord p;
    p.name = key.name; // the key is named after the printer
    p.shareName = Registry::getString(key, "Share Name");
    p.port = Registry::getString(key, "Port");
    p.driver = Registry::getString(key, "Printer Driver");
    p.comment = Registry::getString(key, "Description");
    p.location = Registry::getString(key, "Location");
    p.sepFile = Registry::getString(key, "Separator File");
    p.printProcessor = Registry::getString(key, "Print Processor");
    p.datatype = Registry::getString(key, "Datatype");
    p.parameters = Registry::getString(key, "Parameters");
    p.attributes = Registry::getDword(key, "Attributes", 0);
    p.priority = Registry::getDword(key, "Priority", 1);
    p.defaultPriority = Registry::getDword(key, "Default Priority", 0);
    p.startTime = Registry::getDword(key, "StartTime", 0);
    p.untilTime = Registry::getDword(key, "UntilTime", 0);
    p.status = Registry::getDword(key, "Status", 0);
    p.jobs = Registry::getDword(key, "Jobs", 0);
    return p;
}

// "Jobs" stands in for the spool files of the queued jobs, which winsim does not write.
void writePrinter(RegKey& key, const PrinterRecord& p) {
    Registry::setString(key, "Name", p.name);
    Registry::setString(key, "Share Name", p.shareName);
    Registry::setString(key, "Port", p.port);
    Registry::setString(key, "Printer Driver", p.driver);
    Registry::setString(key, "Description", p.comment);
    Registry::setString(key, "Location", p.location);
    Registry::setString(key, "Separator File", p.sepFile);
    Registry::setString(key, "Print Processor", p.printProcessor);
    Registry::setString(key, "Datatype", p.datatype);
    Registry::setString(key, "Parameters", p.parameters);
    Registry::setDword(key, "Attributes", p.attributes);
    Registry::setDword(key, "Priority", p.priority);
    Registry::setDword(key, "Default Priority", p.defaultPriority);
    Registry::setDword(key, "StartTime", p.startTime);
    Registry::setDword(key, "UntilTime", p.untilTime);
    Registry::setDword(key, "Status", p.status);
    Registry::setDword(key, "Jobs", p.jobs);
}

RegKey* findPrinter(const std::string& name) {
    return name.empty() ? nullptr : child(printersKey(), name);
}

bool printerUsesPort(const PrinterRecord& printer, const std::string& port) {
    for (const std::string& used : splitPortList(printer.port)) {
        if (sameNameIgnoringCase(used, port)) {
            return true;
        }
    }
    return false;
}

std::string defaultPrinterDevice() {
    return Registry::getString(userWindowsKey(), "Device");
}

void setDefaultPrinterDevice(const std::string& printer, const std::string& port) {
    Registry::setString(userWindowsKey(), "Device", printer + ",winspool," + port);
}

void clearDefaultPrinter() {
    Registry::removeValue(userWindowsKey(), "Device");
}

} // namespace winsim::spool
