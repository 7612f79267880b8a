// Knobs and set-up helpers of the simulated print spooler. The spooler keeps its objects
// where Windows keeps them (the registry, the driver directories), so what these helpers
// set up survives a save and load like anything the installer did itself.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace winsim::control {

// Spooler calls that a test can make fail.
enum class SpoolerCall {
    AddMonitor,
    DeleteMonitor,
    AddPrinterDriverEx,
    DeletePrinterDriverEx,
    AddPrinter,
    OpenPrinter,
    DeletePrinter,
    SetPrinter,
    EnumPrinters,
    EnumMonitors,
    EnumPrinterDrivers,
    GetPrinter,
    GetPrinterDriver,
    GetPrinterDriverDirectory,
    // SetPrinterDataA goes through SetPrinterDataExA, so each counts as one call. The data
    // calls return the error and leave the last error alone.
    SetPrinterDataEx,
};

// The next `times` calls that reach the running spooler fail with `error` and change
// nothing, once the `after` calls before them were answered as usual (after 1: a size
// probe is answered and the call that fetches the answer fails, as when the list changed
// in between); 0 times clears the fault.
void failSpoolerCall(SpoolerCall call, unsigned times, uint32_t error, unsigned after = 0);

// The next `times` GetPrinterDriverDirectoryW calls succeed at once, write nothing and name
// a size of 0, even to a caller that asks for the size with no buffer. Windows' spooler
// never answers so; a third-party print provider might. Not saved with the machine.
void answerDriverDirectoryWithoutSize(unsigned times);

// The printer's queue holds this many jobs. Emptying the queue of a printer that is
// pending deletion removes it, as finishing its last job would.
void setPrinterJobs(const std::string& printer, uint32_t jobs);

// The ports a monitor's DLL reports (by default a monitor offers one port named like the
// monitor). Takes effect now for a registered monitor, else when it is added.
void setMonitorPorts(const std::string& monitor, const std::vector<std::string>& ports);

// The running spooler keeps the monitor's DLL mapped after DeleteMonitorW, until the
// service stops.
void keepMonitorDllAfterDelete(const std::string& monitor, bool keep);

// Set-up of a machine "as installed earlier"; nothing is validated.
struct PrinterData {
    std::string key = "PrinterDriverData"; // the key GetPrinterDataA reads
    std::string value;
    std::string text; // stored as SetPrinterDataA stores it: REG_SZ, ANSI, terminated
};

struct PrinterSetup {
    std::string name;
    std::string port = "LPT1:";
    std::string driver;
    std::string comment;
    std::string location;
    std::string printProcessor = "WinPrint";
    uint32_t jobs = 0;
    std::vector<PrinterData> data;
};
void addPrinter(const PrinterSetup& printer);

// The user's connection to `printer`, which the computer `server` (a bare name) shares,
// kept where Windows keeps it, with what the client cached of the shared printer: its
// driver and its port on the server. The machine has no network: EnumPrintersW lists the
// connection, OpenPrinterW cannot reach it.
void addPrinterConnection(const std::string& server, const std::string& printer,
                          const std::string& driver, const std::string& port);

// Writes a DLL stand-in (exporting InitializePrintMonitor2, product version `version`
// such as "3.0.0.2060", none when empty) as C:\Windows\system32\<dll> and registers it.
void registerMonitor(const std::string& name, const std::string& dll, const std::string& version);

struct DriverSetup {
    std::string name;
    std::string driverFile; // bare file names; stand-ins are written into ...\x64\3
    std::string configFile;
    std::string helpFile; // empty: no help file
    std::string version;  // product version of the two DLL stand-ins; empty: none
    std::string manufacturer;
    std::string provider;
    std::string oemUrl;
};
void registerDriver(const DriverSetup& driver);

// Writes the user's default printer as Windows stores it, whether or not it exists.
void setDefaultPrinter(const std::string& printer);

// Reading the state back.
struct PrinterState {
    std::string name;
    std::string port;
    std::string driver;
    std::string comment;
    std::string location;
    std::string printProcessor;
    uint32_t attributes = 0;
    uint32_t jobs = 0;
    bool pendingDeletion = false;
    // "<key>\<value>" -> the stored bytes (REG_SZ without its last terminator; one stored
    // without a terminator ends in "<unterminated>").
    std::map<std::string, std::string> data;
};
std::vector<PrinterState> printers();

struct MonitorState {
    std::string name;
    std::string dll; // as registered
    std::vector<std::string> ports;
};
std::vector<MonitorState> monitors();

struct DriverState {
    std::string name;
    std::string driverFile; // bare names as recorded
    std::string dataFile;
    std::string configFile;
    std::string helpFile;
    std::string manufacturer;
    std::string provider;
    std::string oemUrl;
};
std::vector<DriverState> drivers();

// The user's default printer ("" when none), as GetDefaultPrinterW would name it.
std::string defaultPrinter();

} // namespace winsim::control
