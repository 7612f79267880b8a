// Port monitors: the lifecycle the installer drives, AddMonitorW's loader checks, and the
// monitor DLL the running spooler keeps mapped.
#include "spooler_test_support.h"

namespace {

using namespace spooler_test;
namespace control = winsim::control;

using SpoolerMonitorsTest = SpoolerTest;

TEST_F(SpoolerMonitorsTest, LifecycleAddDuplicateInUseParkDeleteUnknown) {
    writeMonitorDll();
    poison();
    ASSERT_TRUE(addMonitor(kMonitor, kMonitorDll));
    EXPECT_EQ(0u, GetLastError()) << "AddMonitorW clears the last error on success";

    poison();
    EXPECT_FALSE(addMonitor("FOLIOSCOPE:", kMonitorDll));
    EXPECT_EQ(DWORD{ERROR_PRINT_MONITOR_ALREADY_INSTALLED}, GetLastError());

    control::registerDriver(productDriver());
    control::addPrinter(printerSetup("Pool", "LPT1:,folioscope:", kDriver));
    poison();
    EXPECT_FALSE(deleteMonitor(kMonitor));
    EXPECT_EQ(DWORD{ERROR_PRINT_MONITOR_IN_USE}, GetLastError());

    // Parking: the printer moves to the spooler's file port, written in lower case.
    {
        PrinterGuard printer(openPrinter("Pool", PRINTER_ALL_ACCESS));
        PrinterInfo parked("Pool", "LPT1:,file:", kDriver);
        ASSERT_TRUE(SetPrinterW(printer.handle, 2, parked.bytes(), 0));
    }
    poison();
    EXPECT_TRUE(deleteMonitor(kMonitor));
    EXPECT_EQ(kPoison, GetLastError());
    EXPECT_TRUE(control::fileExists(system32(kMonitorDll))) << "DeleteMonitorW leaves the DLL file";
    ASSERT_EQ(1u, control::monitors().size());
    EXPECT_EQ("Local Port", control::monitors()[0].name);

    poison();
    EXPECT_FALSE(deleteMonitor(kMonitor));
    EXPECT_EQ(DWORD{ERROR_UNKNOWN_PRINT_MONITOR}, GetLastError());
}

struct AddMonitorCase {
    const char* label;
    const char* name;
    const char* environment;
    const char* dll;
    DWORD level;
    DWORD error;
};

const AddMonitorCase kAddMonitorCases[] = {
    {"other environment", "M1:", "Windows NT x86", "mon.dll", 2, ERROR_INVALID_ENVIRONMENT},
    {"unknown environment", "M1:", "Windows Bogus", "mon.dll", 2, ERROR_INVALID_ENVIRONMENT},
    {"environment in other case", "M1:", "WINDOWS X64", "mon.dll", 2, 0},
    {"built-in monitor, other case", "local port", "", "mon.dll", 2,
     ERROR_PRINT_MONITOR_ALREADY_INSTALLED},
    {"DLL missing", "M1:", "", "missing.dll", 2, ERROR_MOD_NOT_FOUND},
    {"DLL without monitor exports", "M1:", "", "plain.dll", 2, ERROR_PROC_NOT_FOUND},
    {"not an image", "M1:", "", "text.dll", 2, ERROR_BAD_EXE_FORMAT},
    {"full path to the DLL", "M1:", "", "C:\\Windows\\system32\\mon.dll", 2, 0},
    {"empty name", "", "", "mon.dll", 2, ERROR_INVALID_PARAMETER},
    {"empty DLL name", "M1:", "", "", 2, ERROR_INVALID_PARAMETER},
    {"level 1", "M1:", "", "mon.dll", 1, ERROR_INVALID_LEVEL},
};

TEST_F(SpoolerMonitorsTest, AddMonitorLoadsTheDllLikeTheSpooler) {
    writeMonitorDll("mon.dll");
    ASSERT_TRUE(control::writeVersionedPe(system32("plain.dll"), 1, 0, 0, 1));
    ASSERT_TRUE(control::writeFile(system32("text.dll"), "not a program"));
    for (const AddMonitorCase& c : kAddMonitorCases) {
        SCOPED_TRACE(c.label);
        W name(c.name), environment(c.environment), dll(c.dll);
        MONITOR_INFO_2W info{name, environment, dll};
        poison();
        BOOL ok = AddMonitorW(nullptr, c.level, reinterpret_cast<LPBYTE>(&info));
        EXPECT_EQ(c.error == 0, ok != FALSE);
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ(c.error == 0 ? 2u : 1u, control::monitors().size())
            << "a failed add leaves no key behind";
        deleteMonitor("M1:");
    }
}

TEST_F(SpoolerMonitorsTest, AddedMonitorOffersPortsItsDllReports) {
    writeMonitorDll();
    ASSERT_TRUE(addMonitor(kMonitor, kMonitorDll));
    ASSERT_EQ(2u, control::monitors().size());
    EXPECT_EQ(std::vector<std::string>{kMonitor}, control::monitors()[1].ports);

    control::registerDriver(productDriver("", ""));
    control::setMonitorPorts(kMonitor, {"FS1:", "FS2:"});
    PrinterGuard onKnobPort(addPrinter("P", "fs2:"));
    EXPECT_NE(nullptr, onKnobPort.handle);
    poison();
    PrinterGuard onMonitorName(addPrinter("Q", kMonitor));
    EXPECT_EQ(nullptr, onMonitorName.handle);
    EXPECT_EQ(DWORD{ERROR_UNKNOWN_PORT}, GetLastError());
}

TEST_F(SpoolerMonitorsTest, RunningSpoolerHoldsRegisteredMonitorDll) {
    writeMonitorDll();
    const std::string dll = system32(kMonitorDll);
    ASSERT_TRUE(addMonitor(kMonitor, kMonitorDll));
    EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, deleteError(dll)) << "mapped image";
    EXPECT_EQ(DWORD{ERROR_SHARING_VIOLATION}, writeError(dll));
    ASSERT_TRUE(deleteMonitor(kMonitor));
    EXPECT_EQ(0u, deleteError(dll)) << "unloaded by DeleteMonitorW";
}

TEST_F(SpoolerMonitorsTest, KnobKeepsDeletedMonitorDllUntilTheSpoolerStops) {
    control::registerMonitor(kMonitor, kMonitorDll, "3.0.0.1500");
    control::keepMonitorDllAfterDelete(kMonitor, true);
    ASSERT_TRUE(deleteMonitor(kMonitor));
    EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, deleteError(system32(kMonitorDll)));

    setSpoolerRunning(false);
    setSpoolerRunning(true);
    EXPECT_EQ(0u, deleteError(system32(kMonitorDll))) << "not loaded again: not registered";
}

TEST_F(SpoolerMonitorsTest, KnobFailsTheNextCallsAndChangesNothing) {
    writeMonitorDll();
    control::failSpoolerCall(control::SpoolerCall::AddMonitor, 2, ERROR_ACCESS_DENIED);
    for (int attempt = 0; attempt < 2; ++attempt) {
        poison();
        EXPECT_FALSE(addMonitor(kMonitor, kMonitorDll));
        EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, GetLastError());
    }
    EXPECT_EQ(1u, control::monitors().size());
    EXPECT_TRUE(addMonitor(kMonitor, kMonitorDll)) << "the third attempt gets through";

    control::failSpoolerCall(control::SpoolerCall::DeleteMonitor, 1, ERROR_PRINT_MONITOR_IN_USE);
    poison();
    EXPECT_FALSE(deleteMonitor(kMonitor));
    EXPECT_EQ(DWORD{ERROR_PRINT_MONITOR_IN_USE}, GetLastError());
    EXPECT_TRUE(deleteMonitor(kMonitor));
}

} // namespace
