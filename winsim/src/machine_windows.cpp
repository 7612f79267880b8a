// A machine as Windows 10/11 x64 ships it: its port monitors with their DLLs and ports,
// the inbox printer drivers with their files, the inbox printers, and "Microsoft Print to
// PDF" as the user's default printer. winsim/README.md ("The Windows machine") names the
// source of every fact; INF there marks what is inferred.
#include "machine_windows.h"

#include <string>
#include <vector>

#include <winspool.h>

#include "machine.h"
#include "spooler_files.h"
#include "spooler_registry.h"
#include "winsim/control.h"
#include "winsim/text.h"

namespace winsim {

namespace {

using namespace spool;

struct InboxMonitor {
    const char* name;
    const char* dll;
    std::vector<std::string> ports;
};

struct InboxDriver {
    std::string name;
    DWORD version;
    std::string driverFile; // a bare name lives in ...\x64\<version>, a path where it says
    std::string dataFile;
    std::string configFile;
    std::vector<std::string> dependentFiles;
    std::string hardwareId;
};

struct InboxPrinter {
    const char* name;
    const char* port;
    const char* driver;
    DWORD attributes;
};

// The inbox files of a Windows 10 2004-22H2 image carry build 10.0.19041.1.
const uint16_t kFileVersion[4] = {10, 0, 19041, 1};
const uint64_t kDriverVersion = 0x000A00004A610001;    // 10.0.19041.1
const FILETIME kDriverDate = {2743894016u, 29791429u}; // 06/21/2006, the inbox INFs' date
const char kDefaultPrinter[] = "Microsoft Print to PDF";
// "Local Port" keeps the local ports every machine's spooler starts with.
const char kLocalPort[] = "Local Port";

const InboxMonitor kMonitors[] = {
    {"Appmon", "AppMon.dll", {}},
    {"IppMon", "IPPMon.dll", {}},
    {kLocalPort, "localspl.dll", {}},
    {"Microsoft Shared Fax Monitor", "FXSMON.DLL", {"SHRFAX:"}},
    {"Standard TCP/IP Port", "tcpmon.dll", {}},
    {"USB Monitor", "usbmon.dll", {}},
    {"WSD Port", "WSDMon.dll", {}},
};

const InboxPrinter kPrinters[] = {
    {"Fax", "SHRFAX:", "Microsoft Shared Fax Driver",
     PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_FAX},
    {kDefaultPrinter, "PORTPROMPT:", "Microsoft Print To PDF", PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST},
    {"Microsoft XPS Document Writer", "PORTPROMPT:", "Microsoft XPS Document Writer v4",
     PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST},
};

// Version 4 drivers are used from the driver store, where each INF package has its folder.
std::string store(const std::string& file) {
    return "C:\\Windows\\System32\\DriverStore\\FileRepository\\" + file;
}

std::vector<InboxDriver> inboxDrivers() {
    const std::string render = store("ntprint.inf_amd64_18b0d38ddfaee729\\Amd64\\mxdwdrv.dll");
    const std::string config = store("prnms003.inf_amd64_9bf7e0c26ba91f8b\\Amd64\\PrintConfig.dll");
    return {
        {"Microsoft enhanced Point and Print compatibility driver",
         3,
         "mxdwdrv.dll",
         "unishare.gpd",
         "PrintConfig.dll",
         {"unishare-pipelineconfig.xml"},
         "microsoftmicrosoft_musd"},
        {"Microsoft Shared Fax Driver",
         3,
         "FXSDRV.DLL",
         "FXSUI.DLL",
         "FXSUI.DLL",
         {"FXSWZRD.DLL", "FXSTIFF.DLL", "FXSRES.DLL", "FXSAPI.DLL"},
         "microsoftmicrosoft_s7d14"},
        {"Remote Desktop Easy Print",
         3,
         "mxdwdrv.dll",
         "tsprint-datafile.dat",
         "tsprint.dll",
         {"tsprint-PipelineConfig.xml"},
         ""},
        {"Microsoft Print To PDF",
         4,
         render,
         store("prnms009.inf_amd64_80184dcbef6775bc\\MPDW-PDC.xml"),
         config,
         {},
         "{084f01fa-e634-4d77-83ee-074817c03581}"},
        {"Microsoft XPS Document Writer v4",
         4,
         render,
         store("prnms001.inf_amd64_f340cb58fcd23202\\MXDW.gpd"),
         config,
         {},
         "{0f4130dd-19c7-7ab6-99a1-980f03b2ee4e}"},
    };
}

bool endsWithDll(const std::string& path) {
    const std::string name = foldCase(path);
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".dll") == 0;
}

void writeInboxFile(const std::string& path) {
    if (endsWithDll(path)) {
        control::writeVersionedPe(path, kFileVersion[0], kFileVersion[1], kFileVersion[2],
                                  kFileVersion[3]);
    } else {
        control::writeFile(path, "inbox driver file");
    }
}

void addMonitors() {
    control::VersionedPeOptions monitorDll;
    monitorDll.exports = {"InitializePrintMonitor2"};
    for (const InboxMonitor& monitor : kMonitors) {
        control::writeVersionedPe(modulePath(monitor.dll), kFileVersion[0], kFileVersion[1],
                                  kFileVersion[2], kFileVersion[3], monitorDll);
        RegKey& key = *machine().registry.create(Hive::LocalMachine, monitorKeyPath(monitor.name));
        Registry::setString(key, "Driver", monitor.dll);
        if (!sameNameIgnoringCase(monitor.name, kLocalPort)) {
            setPortsOfMonitor(key, monitor.ports);
        }
    }
}

void addDriver(RegKey& environment, const InboxDriver& inbox) {
    DriverRecord record;
    record.version = inbox.version;
    record.driverFile = inbox.driverFile;
    record.dataFile = inbox.dataFile;
    record.configFile = inbox.configFile;
    record.dependentFiles = inbox.dependentFiles;
    record.manufacturer = "Microsoft";
    record.provider = "Microsoft";
    record.hardwareId = inbox.hardwareId;
    record.date = kDriverDate;
    record.driverVersion = kDriverVersion;
    for (const std::string& file : filesOfDriver(record)) {
        writeInboxFile(driverFilePath(environment, record, file));
    }
    const std::string path = environmentKeyPath(environment.name) + "\\Drivers\\Version-" +
                             std::to_string(inbox.version) + "\\" + inbox.name;
    writeDriver(*machine().registry.create(Hive::LocalMachine, path), record);
}

void addPrinter(const InboxPrinter& inbox) {
    PrinterRecord record;
    record.name = inbox.name;
    record.port = inbox.port;
    record.driver = inbox.driver;
    record.printProcessor = "winprint";
    record.datatype = "RAW";
    record.attributes = inbox.attributes;
    record.startTime = 60; // equal start and until times: always available
    record.untilTime = 60;
    const std::string path = printerKeyPath(inbox.name);
    writePrinter(*machine().registry.create(Hive::LocalMachine, path), record);
    machine().registry.create(Hive::LocalMachine, path + "\\PrinterDriverData");
}

template <typename Table> bool named(const Table& table, const std::string& name) {
    for (const auto& entry : table) {
        if (sameNameIgnoringCase(entry.name, name)) {
            return true;
        }
    }
    return false;
}

} // namespace

bool inbox::isMonitor(const std::string& name) {
    return named(kMonitors, name);
}

bool inbox::isDriver(const std::string& name) {
    return named(inboxDrivers(), name);
}

bool inbox::isPrinter(const std::string& name) {
    return named(kPrinters, name);
}

void control::windowsMachine(const std::string& hostDir) {
    freshMachine(hostDir);
    addMonitors();
    RegKey& environment = *spool::findEnvironment(nullptr);
    for (const InboxDriver& driver : inboxDrivers()) {
        addDriver(environment, driver);
    }
    for (const InboxPrinter& printer : kPrinters) {
        addPrinter(printer);
    }
    spool::setDefaultPrinterDevice(kDefaultPrinter, "PORTPROMPT:");
    // The machine boots with its files in place: the spooler starts over them and loads its
    // monitors' DLLs and the files of the drivers its printers use.
    machine().services.shutDown();
    machine().services.bootUp();
}

} // namespace winsim
