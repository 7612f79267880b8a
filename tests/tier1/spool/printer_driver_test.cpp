// Staging and registering the product driver, and removing it with a spooler restart.
#include "spool_test_support.h"

#include <functional>

#include "log/wide_text.h"
#include "machine.h"
#include "spool/printer_driver.h"
#include "spool/spooler_queries.h"

namespace {

using namespace spool_test;
namespace control = winsim::control;

using PrinterDriverTest = MachineTest;

const std::string kStaging = lines({
    ">Add Printer Driver",
    "  >CopyFile orvdrv64.dll to C:\\Windows\\system32\\spool\\DRIVERS\\x64\\ [1])",
    "    Copy Succeeded :)",
    "  >CopyFile orvui64.dll to C:\\Windows\\system32\\spool\\DRIVERS\\x64\\ [1])",
    "    Copy Succeeded :)",
});
const std::string kHelpStaged =
    lines({"  >CopyFile orvhelp.chm to C:\\Windows\\system32\\spool\\DRIVERS\\x64\\ [1])",
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

std::string sourceMissing(const char* file) {
    return lines({std::string("  >CopyFile ") + file +
                      " to C:\\Windows\\system32\\spool\\DRIVERS\\x64\\ [1])",
                  std::string("    Error(10): Cant't open source file: ") + file +
                      " - (The system cannot find the file specified.)",
                  "    Copy Failed :("});
}

// Whatever happens to the registration, no staged copy is left behind; one that cannot
// be deleted now is deferred.
TEST_F(PrinterDriverTest, StagingOutcomes) {
    const struct {
        const char* situation;
        bool driverDll, helpFile;
        std::function<void()> arrange;
        std::string log;
        std::string registeredHelp; // "-": not registered
        std::string deferred;       // "" when nothing is deferred
    } rows[] = {
        {"all files", true, true, [] {}, kStaging + kHelpStaged + lines({"  OK :)"}), "orvhelp.chm",
         ""},
        {"help file missing", true, false, [] {},
         kStaging + sourceMissing("orvhelp.chm") + lines({"  OK :)"}), "", ""},
        {"driver DLL missing", false, true, [] {},
         lines({">Add Printer Driver"}) + sourceMissing("orvdrv64.dll"), "-", ""},
        {"registration refused", true, true,
         [] {
             control::failSpoolerCall(control::SpoolerCall::AddPrinterDriverEx, 1,
                                      ERROR_ACCESS_DENIED);
         },
         kStaging + kHelpStaged +
             lines({"  Error(13): Can`t install a printer driver 'Folioscope printer' - (Access "
                    "is denied.)"}),
         "-", ""},
        // A scanner reads the staged UI DLL and lets others write, but not delete.
        {"staged copy locked", true, true,
         [] {
             winsim::machine().files.holdFile(kDriverDir + "orvui64.dll", "scanner", GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, false);
         },
         kStaging + kHelpStaged + lines({"  OK :)"}), "orvhelp.chm", kDriverDir + "orvui64.dll"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        control::freshMachine(dir());
        placeDriverFiles(row.driverDll, true, row.helpFile);
        row.arrange();
        InstallContext context;
        EXPECT_EQ(row.log, logOf(context, [&] { installPrinterDriver(context); }));
        const bool registered = row.registeredHelp != "-";
        EXPECT_EQ(registered ? "Folioscope printer" : "", productDriver().name);
        if (registered) {
            control::DriverState driver = productDriver();
            EXPECT_EQ(row.registeredHelp, driver.helpFile);
            EXPECT_EQ("orvdrv64.dll", driver.driverFile);
            EXPECT_EQ("orvdrv64.dll", driver.dataFile);
            EXPECT_EQ("orvui64.dll", driver.configFile);
            EXPECT_EQ("Orvanta Software Kft.", driver.manufacturer);
            EXPECT_EQ("Orvanta Software Kft.", driver.provider);
            EXPECT_EQ("https://www.orvanta.example/folioscope", driver.oemUrl);
            EXPECT_TRUE(control::fileExists(kDriverDir + "3\\orvdrv64.dll"));
        }
        const bool failed = !registered || !row.helpFile;
        EXPECT_EQ(failed ? 1 : 0, context.errorCount);
        for (const char* file : {"orvdrv64.dll", "orvui64.dll", "orvhelp.chm"}) {
            EXPECT_EQ(row.deferred == kDriverDir + file, staged(file)) << file;
        }
        ASSERT_EQ(!row.deferred.empty(), context.deferredFiles != nullptr);
        if (context.deferredFiles != nullptr) {
            EXPECT_EQ(row.deferred, u8(context.deferredFiles->path));
            EXPECT_EQ(nullptr, context.deferredFiles->next);
        }
    }
}

// The staged paths are held in 264 characters: a driver directory that leaves no room for
// the driver DLL's name fails before any file is opened (the directory here does not exist,
// so a path that fits fails when it is opened).
TEST_F(PrinterDriverTest, AStagedPathMustFitItsBuffer) {
    placeDriverFiles(true, true, true);
    for (size_t length : {263, 264}) {
        InstallContext context;
        assign(context.driverDir, W("C:\\" + std::string(length - 16, 'd') + "\\"));
        const std::string log = logOf(context, [&] { installPrinterDriver(context); });
        EXPECT_EQ(length == 264, log.find("too small") != std::string::npos) << log;
        EXPECT_EQ(1, context.errorCount);
    }
}

std::string removeAsUninstallDoes(InstallContext& context) {
    return logOf(context, [&] {
        DriverList drivers = enumDrivers(context.environment);
        removePrinterDriver(context, drivers);
        GlobalFree(drivers.drivers);
    });
}

TEST_F(PrinterDriverTest, RemovalListsTheDriversAndRestartsTheSpoolerOnce) {
    const std::string retried =
        lines({"  Can't delete driver. Trying to restart spooler", "  >Restart Spooler"});
    const struct {
        const char* situation;
        std::function<void()> arrange;
        std::string tail;
        bool remains;
    } rows[] = {
        {"removed at once", [] {}, lines({"  OK :)"}), false},
        {"busy until the restart",
         [] {
             control::failSpoolerCall(control::SpoolerCall::DeletePrinterDriverEx, 1,
                                      ERROR_PRINTER_DRIVER_IN_USE);
         },
         retried + lines({"  OK :)"}), false},
        {"still used by a printer",
         [] {
             registerProductMonitor(2060);
             addPrinter("Kept", "Folioscope:", "Folioscope printer");
         },
         retried + lines({"  Error(14): Can`t remove the printer-driver 'Folioscope printer' - "
                          "(The specified printer driver is currently in use.)"}),
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        control::freshMachine(dir());
        registerOtherDriver();
        registerProductDriver();
        row.arrange();
        InstallContext context;
        EXPECT_EQ(lines({">DeletePrinterDriver for Windows x64",
                         "  ------------ 2 existing drivers-----------", "  1. Generic / Text Only",
                         "  2. Folioscope printer", "  -------------------------------------------",
                         "  Driver is found. Index=2"}) +
                      row.tail,
                  removeAsUninstallDoes(context));
        EXPECT_EQ(row.remains ? "Folioscope printer" : "", productDriver().name);
        EXPECT_EQ(row.remains, control::fileExists(kDriverDir + "3\\orvdrv64.dll"));
        EXPECT_EQ(row.remains ? 1 : 0, context.errorCount);
    }
}

// An empty list from the spooler means a clean machine; a list it could not give proves
// nothing, so the removal is tried and only "unknown printer driver" excuses its failure.
TEST_F(PrinterDriverTest, EmptyOrUnreadListAndLookAlikeNames) {
    const std::string header = lines({">DeletePrinterDriver for Windows x64"});
    const std::string unread =
        header + lines({"  Can't list printer drivers. Trying to delete the driver anyway"});
    const struct {
        const char* situation;
        bool unread;
        unsigned refusals; // of the spooler gone
        std::string log;
    } rows[] = {
        {"nothing installed", false, 0,
         header + lines({"  BTW, there is no printer drivers on this system.",
                         "  No Folioscope driver was found"})},
        {"unread, nothing installed", true, 0,
         unread + lines({"  No Folioscope driver was found"})},
        {"unread, refused twice", true, 2,
         unread + lines({"  Can't delete driver. Trying to restart spooler", "  >Restart Spooler",
                         "  Error(14): Can`t remove the printer-driver 'Folioscope printer' - "
                         "(The RPC server is unavailable.)"})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        control::failSpoolerCall(control::SpoolerCall::EnumPrinterDrivers, row.unread ? 1 : 0,
                                 RPC_S_SERVER_UNAVAILABLE);
        control::failSpoolerCall(control::SpoolerCall::DeletePrinterDriverEx, row.refusals,
                                 RPC_S_SERVER_UNAVAILABLE);
        InstallContext context;
        EXPECT_EQ(row.log, removeAsUninstallDoes(context));
        EXPECT_EQ(row.refusals > 0 ? 1 : 0, context.errorCount);
    }
    WCHAR product[] = L"Folioscope printer";
    WCHAR upper[] = L"FOLIOSCOPE PRINTER";
    WCHAR longer[] = L"Folioscope printer 2";
    DRIVER_INFO_6W entries[4] = {};
    entries[0].pName = upper;
    entries[1].pName = longer;
    DriverList list{entries, 6, 3, false};
    InstallContext context;
    EXPECT_EQ(header + lines({"  ------------ 3 existing drivers-----------",
                              "  1. FOLIOSCOPE PRINTER", "  2. Folioscope printer 2",
                              "  3. ***EMPTY***", "  -------------------------------------------",
                              "  No Folioscope driver was found"}),
              logOf(context, [&] { removePrinterDriver(context, list); }));
    entries[3].pName = product;
    list.count = 4;
    EXPECT_EQ(3, findProductDriver(list));
    DRIVER_INFO_2W level2[2] = {};
    level2[0].pName = longer;
    level2[1].pName = product;
    DriverList list2{reinterpret_cast<DRIVER_INFO_6W*>(level2), 2, 2, false};
    EXPECT_EQ(1, findProductDriver(list2));
    list2.level = 7;
    EXPECT_EQ(-1, findProductDriver(list2));
}

} // namespace
