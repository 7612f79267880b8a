// Staging and registering the product driver, and removing it with a spooler restart.
#include "spool_test_support.h"

#include <functional>
#include <utility>

#include "log/wide_text.h"
#include "spool/file_build_number.h"
#include "machine.h"
#include "spool/printer_driver.h"
#include "spool/spooler_queries.h"

namespace {

using namespace spool_test;
namespace control = winsim::control;
using control::SpoolerCall;

using PrinterDriverTest = MachineTest;
using Case = std::pair<const char*, std::function<void()>>;

// The product driver as registered, the copy the spooler keeps, and the staged files left.
std::string driverState() {
    std::string text = "registered:";
    for (const control::DriverState& d : control::drivers()) {
        if (d.name == "Folioscope printer") {
            text += " [" + d.driverFile + "] [" + d.dataFile + "] [" + d.configFile + "] [" +
                    d.helpFile + "] [" + d.manufacturer + "] [" + d.provider + "] [" + d.oemUrl +
                    "]";
        }
    }
    text += "\nbuild in 3\\: " + std::to_string(fileBuildNumber(W(kDriverDir + "3\\orvdrv64.dll")));
    text += ", staged:";
    for (const char* file : {"orvdrv64.dll", "orvui64.dll", "orvhelp.chm"}) {
        text += control::fileExists(kDriverDir + file) ? std::string(" ") + file : "";
    }
    return text + "\n";
}

template <typename Info> void fillNames(DRIVER_INFO_6W* storage) {
    static WCHAR other[] = L"Folioscope printer 2";
    static WCHAR product[] = L"Folioscope printer";
    Info* entries = reinterpret_cast<Info*>(storage);
    entries[0].pName = other;
    entries[1].pName = other;
    entries[2].pName = product;
}

// Whatever happens to the registration, no staged copy is left behind; one that cannot
// be deleted now is deferred.
TEST_F(PrinterDriverTest, StagingOutcomes) {
    const auto missing = [](const char* file) {
        return [=] { DeleteFileW(W(kProgramDir + file)); };
    };
    const Case rows[] = {
        {"all files", [] {}},
        {"help file missing", missing("orvhelp.chm")},
        {"a later build installed", [] { registerProductDriver("3.0.0.2070"); }},
        {"driver DLL missing", missing("orvdrv64.dll")},
        {"UI DLL missing", missing("orvui64.dll")},
        {"registration refused",
         [] { control::failSpoolerCall(SpoolerCall::AddPrinterDriverEx, 1, ERROR_ACCESS_DENIED); }},
        // A scanner reads the staged UI DLL and lets others write, but not delete.
        {"staged copy locked",
         [] {
             winsim::machine().files.holdFile(kDriverDir + "orvui64.dll", "scanner", GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, false);
         }},
    };
    std::string transcript;
    for (const Case& row : rows) {
        freshRow(dir());
        placeDriverFiles();
        row.second();
        InstallContext context;
        logCase(transcript, row.first, context, [&] { installPrinterDriver(context); });
        transcript += driverState() + outcome(context);
    }
    expectGolden("spool/driver-install", transcript);
}

// The staged paths are held in 264 characters: a driver directory that leaves no room for
// the driver DLL's name fails before any file is opened (the directory here does not exist,
// so a path that fits fails when it is opened).
TEST_F(PrinterDriverTest, AStagedPathMustFitItsBuffer) {
    placeDriverFiles();
    for (size_t length : {263, 264}) {
        InstallContext context;
        assign(context.driverDir, W("C:\\" + std::string(length - 16, 'd') + "\\"));
        const std::string log = logOf(context, [&] { installPrinterDriver(context); });
        EXPECT_EQ(length == 264, log.find("too small") != std::string::npos) << log;
        EXPECT_EQ(1, context.errorCount);
    }
}

// An empty list from the spooler means a clean machine; a list it could not give proves
// nothing, so the removal is tried and only "unknown printer driver" excuses its failure.
TEST_F(PrinterDriverTest, RemovalListsTheDriversAndRestartsTheSpoolerOnce) {
    const auto installed = [] {
        registerOtherDriver();
        registerProductDriver();
    };
    const auto unread = [](unsigned refusals) {
        return [=] {
            control::failSpoolerCall(SpoolerCall::EnumPrinterDrivers, 1, RPC_S_SERVER_UNAVAILABLE);
            control::failSpoolerCall(SpoolerCall::DeletePrinterDriverEx, refusals,
                                     RPC_S_SERVER_UNAVAILABLE);
        };
    };
    const Case rows[] = {
        {"removed at once", installed},
        {"busy until the restart",
         [&] {
             installed();
             control::failSpoolerCall(SpoolerCall::DeletePrinterDriverEx, 1,
                                      ERROR_PRINTER_DRIVER_IN_USE);
         }},
        {"still used by a printer",
         [&] {
             installed();
             registerProductMonitor(2060);
             addPrinter("Kept", "Folioscope:", "Folioscope printer");
         }},
        {"shares its help file",
         [&] {
             installed();
             control::DriverSetup sharing;
             sharing.name = "Sharing";
             sharing.helpFile = "orvhelp.chm";
             control::registerDriver(sharing);
         }},
        {"the only driver", [] { registerProductDriver(); }},
        {"listed, then unknown to the spooler",
         [&] {
             installed();
             control::failSpoolerCall(SpoolerCall::DeletePrinterDriverEx, 2,
                                      ERROR_UNKNOWN_PRINTER_DRIVER);
         }},
        {"nothing installed", [] {}},
        {"unread, nothing installed", unread(0)},
        {"unread, refused, then unknown", unread(1)},
        {"unread, refused twice", unread(2)},
    };
    std::string transcript;
    for (const Case& row : rows) {
        freshRow(dir());
        row.second();
        InstallContext context;
        logCase(transcript, row.first, context, [&] {
            DriverList drivers = enumDrivers(context.environment);
            removePrinterDriver(context, drivers);
            GlobalFree(drivers.drivers);
        });
        transcript += driverState() + outcome(context);
    }
    WCHAR product[] = L"Folioscope printer";
    WCHAR upper[] = L"FOLIOSCOPE PRINTER";
    WCHAR longer[] = L"Folioscope printer 2";
    DRIVER_INFO_6W entries[4] = {};
    entries[0].pName = upper;
    entries[1].pName = longer;
    DriverList list{entries, 6, 3, false};
    InstallContext context;
    logCase(transcript, "look-alike names", context, [&] { removePrinterDriver(context, list); });
    expectGolden("spool/driver-removal", transcript);
    entries[3].pName = product;
    list.count = 4;
    EXPECT_EQ(3, findProductDriver(list));
    // The product's entry is last: read at any other level's record size, no name lands on it.
    const std::pair<DWORD, std::function<void(DRIVER_INFO_6W*)>> levels[] = {
        {1, fillNames<DRIVER_INFO_1W>}, {2, fillNames<DRIVER_INFO_2W>},
        {3, fillNames<DRIVER_INFO_3W>}, {4, fillNames<DRIVER_INFO_4W>},
        {5, fillNames<DRIVER_INFO_5W>}, {6, fillNames<DRIVER_INFO_6W>},
        {7, fillNames<DRIVER_INFO_6W>},
    };
    for (const auto& level : levels) {
        DRIVER_INFO_6W storage[3] = {};
        level.second(storage);
        EXPECT_EQ(level.first == 7 ? -1 : 2, findProductDriver({storage, level.first, 3, false}))
            << "level " << level.first;
    }
}

} // namespace
