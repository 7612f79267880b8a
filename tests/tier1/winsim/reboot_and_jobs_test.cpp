// What only a simulated machine can show: a reboot carrying out the boot-time queue, and a
// printer with queued jobs whose deletion waits for them.
#include "support/machine_test.h"

#include <winspool.h>

#include "machine.h"
#include "winsim/control.h"

namespace {

namespace control = winsim::control;
using Reboot = MachineTest;
using PrinterJobs = MachineTest;

BOOL later(const char* from, const char* to, DWORD flags = 0) {
    W source(from);
    return to ? MoveFileExW(source, W(to), MOVEFILE_DELAY_UNTIL_REBOOT | flags)
              : MoveFileExW(source, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT | flags);
}

TEST_F(Reboot, CarriesOutTheQueueInOrderSkippingFailuresAndClearsIt) {
    control::writeFile("C:\\Windows\\system32\\port.dll", "old");
    control::writeFile("C:\\Temp\\new.dll", "new");
    control::writeFile("C:\\Temp\\gone.txt", "x");
    control::writeFile("C:\\Temp\\kept-ro.txt", "x");
    control::setReadOnly("C:\\Temp\\kept-ro.txt", true);
    control::writeFile("C:\\Temp\\taken.txt", "x");
    control::writeFile("C:\\Temp\\other.txt", "y");
    control::holdFileBySpooler("C:\\Windows\\system32\\port.dll", true);
    control::setServiceRunning("Fax", true);
    control::setServiceNeverStops("Spooler", true);
    EXPECT_TRUE(later("C:\\Windows\\system32\\port.dll", nullptr));
    EXPECT_TRUE(later("C:\\Temp\\missing.txt", nullptr));
    EXPECT_TRUE(later("C:\\Temp\\kept-ro.txt", nullptr));
    EXPECT_TRUE(
        later("C:\\Temp\\new.dll", "C:\\Windows\\system32\\port.dll", MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(later("C:\\Temp\\other.txt", "C:\\Temp\\taken.txt"));
    EXPECT_TRUE(later("C:\\Temp\\gone.txt", nullptr));

    control::reboot();

    EXPECT_EQ("new", control::readFile("C:\\Windows\\system32\\port.dll"));
    EXPECT_FALSE(control::fileExists("C:\\Temp\\new.dll"));
    EXPECT_FALSE(control::fileExists("C:\\Temp\\gone.txt"));
    EXPECT_TRUE(control::fileExists("C:\\Temp\\kept-ro.txt"));
    EXPECT_EQ("x", control::readFile("C:\\Temp\\taken.txt")) << "no \"!\": the target stays";
    EXPECT_TRUE(control::fileExists("C:\\Temp\\other.txt"));
    const winsim::RegKey* session = winsim::machine().registry.find(
        winsim::Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager");
    EXPECT_EQ(nullptr, winsim::Registry::value(*session, "PendingFileRenameOperations"));
    EXPECT_TRUE(DeleteFileW(W("C:\\Windows\\system32\\port.dll"))) << "the spooler let go";
    EXPECT_EQ(uint32_t{SERVICE_RUNNING}, control::serviceState("Spooler")) << "automatic";
    EXPECT_EQ(uint32_t{SERVICE_STOPPED}, control::serviceState("Fax")) << "on demand";
}

TEST_F(Reboot, StandardUserCannotQueueWork) {
    control::setAdministrator(false);
    SetLastError(0);
    EXPECT_FALSE(later("C:\\Temp\\a", nullptr));
    EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, GetLastError());
}

TEST_F(PrinterJobs, DeletionWaitsForTheLastJobAndAnAddRevivesThePrinter) {
    control::DriverSetup driver;
    driver.name = "Folioscope printer";
    driver.driverFile = "orvdrv64.dll";
    driver.configFile = "orvui64.dll";
    control::registerDriver(driver);
    control::PrinterSetup office;
    office.name = "Office";
    office.driver = driver.name;
    control::addPrinter(office);
    control::setDefaultPrinter("Office");
    control::setPrinterJobs("Office", 2);
    HANDLE h = nullptr;
    PRINTER_DEFAULTSW all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(W("Office"), &h, &all));
    ASSERT_TRUE(DeletePrinter(h));
    EXPECT_TRUE(control::printers()[0].pendingDeletion);
    EXPECT_EQ("Office", control::defaultPrinter());
    control::setPrinterJobs("Office", 1);
    EXPECT_EQ(1u, control::printers().size());
    EXPECT_TRUE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PURGE));
    EXPECT_TRUE(control::printers().empty()) << "gone with its last job";
    EXPECT_EQ("", control::defaultPrinter()) << "the default went with it";
    SetLastError(0);
    EXPECT_FALSE(SetPrinterW(h, 0, nullptr, PRINTER_CONTROL_PURGE));
    EXPECT_EQ(DWORD{ERROR_INVALID_PRINTER_NAME}, GetLastError()) << "the handle outlives it";
    ClosePrinter(h);

    control::addPrinter(office);
    control::setPrinterJobs("Office", 1);
    ASSERT_TRUE(OpenPrinterW(W("Office"), &h, &all));
    ASSERT_TRUE(DeletePrinter(h));
    ClosePrinter(h);
    W name("Office"), port("LPT3:"), driverName("Folioscope printer"), processor("WinPrint");
    PRINTER_INFO_2W info = {};
    info.pPrinterName = name;
    info.pPortName = port;
    info.pDriverName = driverName;
    info.pPrintProcessor = processor;
    h = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    ASSERT_NE(nullptr, h);
    ClosePrinter(h);
    EXPECT_FALSE(control::printers()[0].pendingDeletion);
    EXPECT_EQ("LPT3:", control::printers()[0].port);
}

} // namespace
