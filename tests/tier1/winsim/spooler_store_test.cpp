// A saved and loaded machine keeps the spooler's objects, its knobs and its loaded files:
// the installer's commands run one per process against the same machine directory.
#include <fstream>

#include "spooler_test_support.h"

namespace {

using namespace spooler_test;
namespace control = winsim::control;

using SpoolerStoreTest = SpoolerTest;

TEST_F(SpoolerStoreTest, SaveLoadKeepsMonitorsDriversPrintersDataAndDefault) {
    writeMonitorDll();
    ASSERT_TRUE(addMonitor(kMonitor, kMonitorDll));
    stageDriverFiles();
    ASSERT_TRUE(installDriver());
    {
        PrinterGuard printer(addPrinter("Folioscope", kMonitor));
        ASSERT_NE(nullptr, printer.handle);
        BYTE text[] = "abc";
        ASSERT_EQ(DWORD{ERROR_SUCCESS},
                  SetPrinterDataExA(printer.handle, "DsUser", "SubKey", REG_SZ, text, 4));
    }
    ASSERT_TRUE(SetDefaultPrinterW(W("Folioscope")));
    control::setPrinterJobs("Folioscope", 3);
    control::failSpoolerCall(control::SpoolerCall::DeletePrinterDriverEx, 1,
                             ERROR_PRINTER_DRIVER_IN_USE);
    control::setMonitorPorts("Other:", {"O1:"});
    control::keepMonitorDllAfterDelete(kMonitor, true);

    ASSERT_TRUE(control::saveMachine(dir()));
    control::freshMachine(dir() + "/elsewhere");
    EXPECT_TRUE(control::printers().empty());
    ASSERT_TRUE(control::loadMachine(dir()));

    ASSERT_EQ(2u, control::monitors().size());
    EXPECT_EQ(kMonitor, control::monitors()[1].name);
    EXPECT_EQ(kMonitorDll, control::monitors()[1].dll);
    ASSERT_EQ(1u, control::drivers().size());
    EXPECT_EQ("Orvanta Software Kft.", control::drivers()[0].manufacturer);
    ASSERT_EQ(1u, control::printers().size());
    const control::PrinterState printer = control::printers()[0];
    EXPECT_EQ(kMonitor, printer.port);
    EXPECT_EQ(3u, printer.jobs);
    EXPECT_EQ("abc", printer.data.at("DsUser\\SubKey"));
    EXPECT_EQ("Folioscope", control::defaultPrinter());

    EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, deleteError(system32(kMonitorDll)))
        << "the loaded spooler maps its monitor again";
    EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, deleteError(versionDir("orvui64.dll")));
    poison();
    EXPECT_FALSE(deleteDriver());
    EXPECT_EQ(DWORD{ERROR_PRINTER_DRIVER_IN_USE}, GetLastError()) << "the fault was kept";
    ASSERT_TRUE(deletePrinterByName("Folioscope"));
    control::setPrinterJobs("Folioscope", 0); // its last job done, the printer goes
    writeMonitorDll("other.dll");
    ASSERT_TRUE(addMonitor("Other:", "other.dll"));
    EXPECT_EQ(std::vector<std::string>{"O1:"}, control::monitors()[0].ports);
    ASSERT_TRUE(deleteMonitor(kMonitor));
    EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, deleteError(system32(kMonitorDll)))
        << "the keep knob was kept";
}

TEST_F(SpoolerStoreTest, MalformedKnobFileFailsTheLoad) {
    ASSERT_TRUE(control::saveMachine(dir()));
    {
        std::ofstream out(dir() + "/spooler.txt", std::ios::app);
        out << "fault\t99\t1\t5\n";
    }
    EXPECT_FALSE(control::loadMachine(dir()));
}

} // namespace
