// Staging and registering the product driver, and removing it with a spooler restart.
#include "spool_test_support.h"

#include "machine.h"
#include "spool/printer_driver.h"
#include "spool/spooler_queries.h"

namespace {

using namespace spool_test;
namespace control = winsim::control;

using PrinterDriverTest = MachineTest;

const std::string kStaging = lines({
    ">Add Printer Driver",
    "  >CopyFile orvdrv64.dll to C:\\Windows\\system32\\spool\\drivers\\x64\\ [1])",
    "    Copy Succeeded :)",
    "  >CopyFile orvui64.dll to C:\\Windows\\system32\\spool\\drivers\\x64\\ [1])",
    "    Copy Succeeded :)",
});
const std::string kHelpStaged =
    lines({"  >CopyFile orvhelp.chm to C:\\Windows\\system32\\spool\\drivers\\x64\\ [1])",
           "    Copy Succeeded :)"});

control::DriverState productDriver() {
    for (const control::DriverState& driver : control::drivers()) {
        if (driver.name == "Folioscope printer") {
            return driver;
        }
    }
    return control::DriverState{};
}

bool staged(const char* file) {
    return control::fileExists(kDriverDir + file);
}

TEST_F(PrinterDriverTest, RegistersTheStagedFilesAndDeletesTheStagedCopies) {
    placeDriverFiles(true, true, true);
    InstallContext context;
    size_t mark = logMark(context);
    installPrinterDriver(context);
    EXPECT_EQ(kStaging + kHelpStaged + lines({"  OK :)"}), logSince(context, mark));
    control::DriverState driver = productDriver();
    EXPECT_EQ("orvdrv64.dll", driver.driverFile);
    EXPECT_EQ("orvdrv64.dll", driver.dataFile);
    EXPECT_EQ("orvui64.dll", driver.configFile);
    EXPECT_EQ("orvhelp.chm", driver.helpFile);
    EXPECT_EQ("Orvanta Software Kft.", driver.manufacturer);
    EXPECT_EQ("Orvanta Software Kft.", driver.provider);
    EXPECT_EQ("https://www.orvanta.example/folioscope", driver.oemUrl);
    EXPECT_TRUE(control::fileExists(kDriverDir + "3\\orvdrv64.dll"));
    EXPECT_FALSE(staged("orvdrv64.dll"));
    EXPECT_FALSE(staged("orvui64.dll"));
    EXPECT_FALSE(staged("orvhelp.chm"));
    EXPECT_EQ(nullptr, context.deferredFiles);
    EXPECT_EQ(0, context.errorCount);
}

TEST_F(PrinterDriverTest, MissingFilesEitherStopTheStepOrDropTheHelpFile) {
    const std::string helpMissing =
        lines({"  >CopyFile orvhelp.chm to C:\\Windows\\system32\\spool\\drivers\\x64\\ [1])",
               "    Error(10): Cant't open source file: orvhelp.chm - (The system cannot find the "
               "file specified.)",
               "    Copy Failed :("});
    {
        SCOPED_TRACE("help file missing");
        placeDriverFiles(true, true, false);
        InstallContext context;
        size_t mark = logMark(context);
        installPrinterDriver(context);
        EXPECT_EQ(kStaging + helpMissing + lines({"  OK :)"}), logSince(context, mark));
        EXPECT_EQ("Folioscope printer", productDriver().name);
        EXPECT_EQ("", productDriver().helpFile);
        EXPECT_EQ(1, context.errorCount);
        EXPECT_EQ(nullptr, context.deferredFiles) << "the empty help path is not deferred";
    }
    control::freshMachine(dir());
    {
        SCOPED_TRACE("driver DLL missing");
        placeDriverFiles(false, true, true);
        InstallContext context;
        size_t mark = logMark(context);
        installPrinterDriver(context);
        EXPECT_EQ(lines({">Add Printer Driver",
                         "  >CopyFile orvdrv64.dll to C:\\Windows\\system32\\spool\\drivers\\x64\\ "
                         "[1])",
                         "    Error(10): Cant't open source file: orvdrv64.dll - (The system "
                         "cannot find the file specified.)",
                         "    Copy Failed :("}),
                  logSince(context, mark));
        EXPECT_EQ("", productDriver().name);
        EXPECT_EQ(1, context.errorCount);
    }
}

TEST_F(PrinterDriverTest, RefusedRegistrationStillDeletesTheStagedCopies) {
    placeDriverFiles(true, true, true);
    control::failSpoolerCall(control::SpoolerCall::AddPrinterDriverEx, 1, ERROR_ACCESS_DENIED);
    InstallContext context;
    size_t mark = logMark(context);
    installPrinterDriver(context);
    EXPECT_EQ(kStaging + kHelpStaged +
                  lines({"  Error(13): Can`t install a printer driver 'Folioscope printer' - "
                         "(Access is denied.)"}),
              logSince(context, mark));
    EXPECT_EQ("", productDriver().name);
    EXPECT_FALSE(staged("orvdrv64.dll"));
    EXPECT_FALSE(staged("orvui64.dll"));
    EXPECT_FALSE(staged("orvhelp.chm"));
    EXPECT_EQ(1, context.errorCount);
}

TEST_F(PrinterDriverTest, LockedStagedCopyIsDeferred) {
    placeDriverFiles(true, true, true);
    // A scanner reads the staged UI DLL and lets others write, but not delete.
    winsim::machine().files.holdFile(kDriverDir + "orvui64.dll", "scanner", GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, false);
    InstallContext context;
    installPrinterDriver(context);
    ASSERT_NE(nullptr, context.deferredFiles);
    EXPECT_EQ(kDriverDir + "orvui64.dll", u8(context.deferredFiles->path));
    EXPECT_EQ(nullptr, context.deferredFiles->next);
    EXPECT_FALSE(staged("orvdrv64.dll"));
    EXPECT_FALSE(staged("orvhelp.chm"));
    EXPECT_EQ("Folioscope printer", productDriver().name);
    EXPECT_EQ(0, context.errorCount);
}

void removeAsUninstallDoes(InstallContext& context) {
    DriverList drivers = enumDrivers(context.environment);
    removePrinterDriver(context, drivers);
    if (drivers.drivers != nullptr) {
        GlobalFree(drivers.drivers);
    }
}

TEST_F(PrinterDriverTest, RemovalListsTheDriversAndRestartsTheSpoolerOnce) {
    const std::string header = lines({
        ">DeletePrinterDriver for Windows x64",
        "  ------------ 2 existing drivers-----------",
        "  1. Folioscope printer",
        "  2. Generic / Text Only",
        "  -------------------------------------------",
        "  Driver is found. Index=1",
    });
    {
        SCOPED_TRACE("removed at once");
        registerOtherDriver();
        registerProductDriver();
        InstallContext context;
        size_t mark = logMark(context);
        removeAsUninstallDoes(context);
        EXPECT_EQ(header + lines({"  OK :)"}), logSince(context, mark));
        EXPECT_EQ("", productDriver().name);
    }
    {
        SCOPED_TRACE("busy until the restart");
        registerProductDriver();
        control::failSpoolerCall(control::SpoolerCall::DeletePrinterDriverEx, 1,
                                 ERROR_PRINTER_DRIVER_IN_USE);
        InstallContext context;
        size_t mark = logMark(context);
        removeAsUninstallDoes(context);
        EXPECT_EQ(header + lines({"  Can't delete driver. Trying to restart spooler",
                                  "  >Restart Spooler", "  OK :)"}),
                  logSince(context, mark));
        EXPECT_EQ("", productDriver().name);
        EXPECT_EQ(0, context.errorCount);
    }
    {
        SCOPED_TRACE("still used by a printer");
        registerProductDriver();
        control::registerMonitor("Folioscope:", "orvmon64.dll", "3.0.0.2060");
        addPrinter("Kept", "Folioscope:", "Folioscope printer");
        InstallContext context;
        size_t mark = logMark(context);
        removeAsUninstallDoes(context);
        EXPECT_EQ(header + lines({"  Can't delete driver. Trying to restart spooler",
                                  "  >Restart Spooler",
                                  "  Error(14): Can`t remove the printer-driver 'Folioscope "
                                  "printer' - (The specified printer driver is currently in "
                                  "use.)"}),
                  logSince(context, mark));
        EXPECT_EQ("Folioscope printer", productDriver().name);
        EXPECT_EQ(1, context.errorCount);
    }
}

TEST_F(PrinterDriverTest, EmptyListAndLookAlikeNamesFindNoDriver) {
    {
        InstallContext context;
        size_t mark = logMark(context);
        removeAsUninstallDoes(context);
        EXPECT_EQ(lines({">DeletePrinterDriver for Windows x64",
                         "  BTW, there is no printer drivers on this system.",
                         "  No Folioscope driver was found"}),
                  logSince(context, mark));
    }
    WCHAR product[] = L"Folioscope printer";
    WCHAR upper[] = L"FOLIOSCOPE PRINTER";
    WCHAR longer[] = L"Folioscope printer 2";
    DRIVER_INFO_6W entries[4] = {};
    entries[0].pName = upper;
    entries[1].pName = longer;
    DriverList list{entries, 6, 3};
    EXPECT_EQ(-1, findProductDriver(list));
    entries[3].pName = product;
    list.count = 4;
    EXPECT_EQ(3, findProductDriver(list));
    DRIVER_INFO_2W level2[2] = {};
    level2[0].pName = longer;
    level2[1].pName = product;
    DriverList list2{reinterpret_cast<DRIVER_INFO_6W*>(level2), 2, 2};
    EXPECT_EQ(1, findProductDriver(list2));
    list2.level = 7;
    EXPECT_EQ(-1, findProductDriver(list2));
}

} // namespace
