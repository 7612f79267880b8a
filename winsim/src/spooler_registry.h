// Where the Windows spooler keeps its objects in the registry, and the records read from
// and written to those keys. Every name is matched without regard to case, as Windows does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

#include "registry_model.h"

namespace winsim::spool {

// The spooler's own environment on 64-bit Windows.
extern const char kOwnEnvironment[];

// HKLM paths of one object's key.
std::string monitorKeyPath(const std::string& monitor);
std::string environmentKeyPath(const std::string& environment);
std::string printerKeyPath(const std::string& printer);

RegKey& monitorsKey();
RegKey& environmentsKey();
RegKey& printersKey();
// The ports of the "Local Port" monitor, one value each.
RegKey& localPortsKey();
// HKCU ...\Windows NT\CurrentVersion\Windows, home of the user's default printer.
RegKey& userWindowsKey();

RegKey* child(RegKey& parent, const std::string& name);
std::vector<RegKey*> children(RegKey& parent); // in the registry's enumeration order

// The monitors and drivers in the order the spooler lists them: the reverse of the
// registry's order, version 4 drivers before version 3 ones (see winsim/README.md).
std::vector<RegKey*> listedMonitors();
std::vector<RegKey*> listedDrivers(RegKey& environment);

// Monitors and ports.
std::vector<std::string> portsOfMonitor(RegKey& monitor);
// What a monitor's DLL would write when it creates its ports.
void setPortsOfMonitor(RegKey& monitor, const std::vector<std::string>& ports);
bool portExists(const std::string& port);
// "LPT1:,Folioscope:" names two ports (a printer pool).
std::vector<std::string> splitPortList(const std::string& ports);

// Environments: NULL or "" is the spooler's own; nullptr when the environment is unknown.
RegKey* findEnvironment(LPCWSTR name);
// "C:\Windows\system32\spool\DRIVERS\x64", without a trailing backslash.
std::string driverDirectory(const RegKey& environment);
// Drivers of version 3, the only version AddPrinterDriverEx installs here.
RegKey& driversKey(RegKey& environment);
// A driver of any version: the inbox version 4 drivers are found as well.
RegKey* findDriverIn(RegKey& environment, const std::string& name);
RegKey* findDriver(const std::string& name); // in the own environment
bool printProcessorExists(const std::string& name);

struct DriverRecord {
    std::string driverFile; // bare file names, as the spooler records them
    std::string dataFile;
    std::string configFile;
    std::string helpFile;
    std::vector<std::string> dependentFiles;
    std::string monitor;
    std::string datatype;
    std::vector<std::string> previousNames;
    DWORD version = 3;
    std::string manufacturer;
    std::string oemUrl;
    std::string hardwareId;
    std::string provider;
    FILETIME date = {0, 0};
    uint64_t driverVersion = 0;
};
DriverRecord readDriver(const RegKey& key);
void writeDriver(RegKey& key, const DriverRecord& driver);
// Every file the driver consists of, as recorded, without duplicates.
std::vector<std::string> filesOfDriver(const DriverRecord& driver);
// Where a recorded file lives: a bare name in the driver's version directory ("...\x64\3"),
// a full path (an inbox driver's file in the driver store) where it says.
std::string driverFilePath(const RegKey& environment, const DriverRecord& driver,
                           const std::string& file);

struct PrinterRecord {
    std::string server; // "\\server" for a connection to a shared printer; "" when local
    std::string name;
    std::string shareName;
    std::string port;
    std::string driver;
    std::string comment;
    std::string location;
    std::string sepFile;
    std::string printProcessor;
    std::string datatype;
    std::string parameters;
    DWORD attributes = 0;
    DWORD priority = 1;
    DWORD defaultPriority = 0;
    DWORD startTime = 0;
    DWORD untilTime = 0;
    DWORD status = 0;
    DWORD jobs = 0;
};
PrinterRecord readPrinter(const RegKey& key);
void writePrinter(RegKey& key, const PrinterRecord& printer);
RegKey* findPrinter(const std::string& name);
bool printerUsesPort(const PrinterRecord& printer, const std::string& port);

// The user's connections to printers that other computers share, in the registry's order,
// each as the client last cached the shared printer, named "\\server\printer".
std::vector<PrinterRecord> connectedPrinters();

// The "Device" value: "Name,winspool,Port"; "" when there is none.
std::string defaultPrinterDevice();
void setDefaultPrinterDevice(const std::string& printer, const std::string& port);
void clearDefaultPrinter();

} // namespace winsim::spool
