#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

using namespace winsim;
using DemoMachine = MachineTest;

// The demo machine must be one the installer can really work on: its monitor DLL, once
// in the system directory, registers, and the description shows what the spooler holds.
TEST_F(DemoMachine, ProductFilesAreUsableAndTheDescriptionShowsTheSpooler) {
    control::demoMachine(dir());
    const std::string monitorDll =
        control::readFile("C:\\Program Files\\Folioscope\\Setup\\orvmon64.dll");
    ASSERT_FALSE(monitorDll.empty());
    control::writeFile("C:\\Windows\\system32\\orvmon64.dll", monitorDll);

    MONITOR_INFO_2W info = {};
    info.pName = const_cast<LPWSTR>(L"Folioscope:");
    info.pEnvironment = const_cast<LPWSTR>(L"Windows x64");
    info.pDLLName = const_cast<LPWSTR>(L"orvmon64.dll");
    ASSERT_TRUE(AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));

    const std::string description = control::describeMachine();
    EXPECT_NE(std::string::npos, description.find("service  Spooler running\n"));
    EXPECT_NE(std::string::npos, description.find("inbox    printers: Fax, Microsoft Print to PDF, "
                                                  "Microsoft XPS Document Writer\n"));
    EXPECT_NE(std::string::npos,
              description.find("monitor  Folioscope: (orvmon64.dll, port Folioscope:)\n"));
    EXPECT_TRUE(control::fileExists("C:\\Program Files\\Folioscope\\foltray.exe"));
    EXPECT_TRUE(control::fileExists("C:\\Program Files\\Folioscope\\Setup\\orvhelp.chm"));
}

} // namespace
