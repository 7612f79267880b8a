// Shared set-up of the spooler scenarios: product files in the program's directory, the
// machine's spooler objects, and the log an operation wrote.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include <windows.h>
#include <winspool.h>

#include "app/install_context.h"
#include "support/golden.h"
#include "support/machine_test.h"
#include "system/deferred_files.h"
#include "winsim/control.h"

namespace spool_test {

const std::string kProgramDir = "C:\\Program Files\\Folioscope\\";
const std::string kSystemDir = "C:\\Windows\\system32\\";
const std::string kDriverDir = "C:\\Windows\\system32\\spool\\DRIVERS\\x64\\";
const std::string kMonitorDll = kSystemDir + "orvmon64.dll";

// A fresh machine for a table's next row, once the row before left no handle open and no
// block allocated (the teardown sees only the last row).
void freshRow(const std::string& dir);
// The context's error count and deferred files, as a transcript line.
std::string outcome(const InstallContext& context);
// What the call wrote to the context's log.
std::string logOf(InstallContext& context, const std::function<void()>& call);
// Adds a case to a golden transcript: its name, then what the call logged.
void logCase(std::string& transcript, const std::string& name, InstallContext& context,
             const std::function<void()>& call);
// The monitor removal as the uninstall sequence runs it: list, remove, drop the list.
void removeMonitorAsUninstallDoes(InstallContext& context);

// A port monitor DLL of product version 3.0.0.build.
void writeMonitorDll(const std::string& windowsPath, uint16_t build);
// The product monitor "Folioscope:" registered with orvmon64.dll of that build.
void registerProductMonitor(uint16_t build);
// The driver DLL, its UI DLL and the help file in the program's directory.
void placeDriverFiles();

// Another vendor's driver that printers of other makers use.
const std::string kOtherDriver = "Generic / Text Only";
void registerOtherDriver();
void registerProductDriver(const std::string& version = "3.0.0.2060");
void addPrinter(const std::string& name, const std::string& port, const std::string& driver);
// The printer's state; an empty name when there is no such printer.
winsim::control::PrinterState printer(const std::string& name);

} // namespace spool_test
