// The print spooler service of the simulated machine. Its objects (monitors, ports,
// drivers, printers, printer data, the user's default printer) live in the registry and
// in the driver directories, where Windows keeps them; this model holds only what lives
// in the spooler process: the printer handles, the files it has loaded, and the knobs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include "winsim/control/spooler.h"

namespace winsim {

struct PrinterHandle {
    bool server = false; // OpenPrinterW(NULL): the local print server itself
    std::string printer; // the printer's name as stored
    ACCESS_MASK access = 0;
};

struct CallFault {
    unsigned times = 0;
    DWORD error = 0;
    unsigned after = 0; // calls still answered as usual before the fault
};

class Spooler {
  public:
    // A fresh machine's spooler: the "Local Port" monitor and its ports, the environments
    // with the "WinPrint" print processor, no drivers, no printers.
    void reset();
    // Knobs go to dir/spooler.txt; the spooler's objects are saved with the registry and
    // the files.
    bool save(const std::string& dir) const;
    bool load(const std::string& dir);
    size_t openHandles() const { return handles_.size(); }

    // Every call starts here: false, with the last error set, when the service is not
    // running (1722) or a knob fails this call.
    bool answers();
    bool answers(control::SpoolerCall call);

    HANDLE addHandle(const PrinterHandle& handle);
    PrinterHandle* handle(HANDLE handle);
    bool closeHandle(HANDLE handle);

    // Loads (and lets go of) what the running spooler maps: the DLL of every registered
    // monitor and the files of every driver a printer uses.
    void refreshHolds();
    // Lets go of one file now (to replace it); the next refresh loads it again if needed.
    void unloadFile(const std::string& path);
    // DeleteMonitorW: the DLL stays mapped until the service stops if a knob says so.
    void monitorDeleted(const std::string& monitor, const std::string& dllPath);

    std::map<control::SpoolerCall, CallFault> faults;
    unsigned sizelessDirectoryAnswers = 0; // GetPrinterDriverDirectoryW calls that name no size
    std::map<std::string, std::vector<std::string>> monitorPorts; // by case-folded monitor
    std::set<std::string> keepDllAfterDelete;                     // case-folded monitors

  private:
    // The spooler process and the knobs, not the objects it keeps in the registry.
    void forgetEverything();
    std::map<std::string, std::string> filesToLoad() const;
    void listenToService();
    void serviceChanged(DWORD state);

    std::map<uintptr_t, PrinterHandle> handles_;
    uintptr_t handlesIssued_ = 0; // never reset, so a dead handle never comes back
    std::set<std::string> keptDlls_;
    std::map<std::string, std::string> loaded_; // case-folded path -> path
};

} // namespace winsim
