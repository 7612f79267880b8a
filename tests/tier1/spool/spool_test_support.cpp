#include "spool_test_support.h"

#include "log/wide_text.h"
#include "spool/monitor_list.h"
#include "spool/port_monitor.h"
#include "winsim/text.h"

namespace spool_test {

using namespace winsim::control;

std::string logOf(InstallContext& context, const std::function<void()>& call) {
    const size_t mark = lengthOf(context.logText);
    call();
    return winsim::toUtf8(textOf(context.logText) + mark);
}

void logCase(std::string& transcript, const std::string& name, InstallContext& context,
             const std::function<void()>& call) {
    transcript += "== " + name + "\n" + logOf(context, call);
}

void removeMonitorAsUninstallDoes(InstallContext& context) {
    MonitorList monitors;
    enumerateMonitors(monitors, context);
    removePortMonitor(context, monitors);
    GlobalFree(monitors.monitors);
}

void writeMonitorDll(const std::string& windowsPath, uint16_t build) {
    VersionedPeOptions options;
    options.exports = {"InitializePrintMonitor2"};
    ASSERT_TRUE(writeVersionedPe(windowsPath, 3, 0, 0, build, options)) << windowsPath;
}

void registerProductMonitor(uint16_t build) {
    registerMonitor("Folioscope:", "orvmon64.dll", "3.0.0." + std::to_string(build));
}

void placeDriverFiles() {
    ASSERT_TRUE(writeVersionedPe(kProgramDir + "orvdrv64.dll", 3, 0, 0, 2060));
    ASSERT_TRUE(writeVersionedPe(kProgramDir + "orvui64.dll", 3, 0, 0, 2060));
    ASSERT_TRUE(writeFile(kProgramDir + "orvhelp.chm", "help"));
}

void registerOtherDriver() {
    DriverSetup driver;
    driver.name = kOtherDriver;
    driver.driverFile = "unidrv.dll";
    driver.configFile = "unidrvui.dll";
    registerDriver(driver);
}

void registerProductDriver(const std::string& version) {
    DriverSetup driver;
    driver.name = "Folioscope printer";
    driver.driverFile = "orvdrv64.dll";
    driver.configFile = "orvui64.dll";
    driver.helpFile = "orvhelp.chm";
    driver.version = version;
    registerDriver(driver);
}

void addPrinter(const std::string& name, const std::string& port, const std::string& driver) {
    PrinterSetup setup;
    setup.name = name;
    setup.port = port;
    setup.driver = driver;
    winsim::control::addPrinter(setup);
}

PrinterState printer(const std::string& name) {
    for (const PrinterState& state : printers()) {
        if (state.name == name) {
            return state;
        }
    }
    return PrinterState{};
}

void freshRow(const std::string& dir) {
    EXPECT_EQ(0u, openHandleCount() + liveMemoryBlocks()) << "left by the row before";
    freshMachine(dir);
}

std::string outcome(const InstallContext& context) {
    std::string line = "errors " + std::to_string(context.errorCount) + ", deferred";
    for (DeferredFile* file = context.deferredFiles; file != nullptr; file = file->next) {
        line += " " + u8(file->path);
    }
    return line + "\n";
}

} // namespace spool_test
