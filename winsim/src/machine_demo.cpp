#include <string>

#include "winsim/control.h"

namespace winsim::control {

namespace {

const char kProductDir[] = "C:\\Program Files\\Folioscope\\";
const char kSetupDir[] = "C:\\Program Files\\Folioscope\\Setup\\";

} // namespace

// The product's setup unpacks the installer with the files it places into "Setup\", and
// the tray companion into the installation directory one level up, where the installer
// starts it from.
void demoMachine(const std::string& hostDir) {
    windowsMachine(hostDir);
    const std::string setup = kSetupDir;
    setProgramPath(setup + "folioinst.exe");
    VersionedPeOptions monitor;
    monitor.exports = {"InitializePrintMonitor2"};
    writeVersionedPe(setup + "orvmon64.dll", 1, 0, 0, 2060, monitor);
    writeVersionedPe(setup + "orvdrv64.dll", 1, 0, 0, 2060);
    writeVersionedPe(setup + "orvui64.dll", 1, 0, 0, 2060);
    writeFile(setup + "orvhelp.chm", "ITSF help");
    writeVersionedPe(std::string(kProductDir) + "foltray.exe", 1, 0, 0, 2060);
}

} // namespace winsim::control
