// Printers on the product's port are parked on "file:" so that the spooler lets the
// monitor go, and switched back at the same place once the monitor is registered again,
// or at once when it cannot be removed.
#include "spool_test_support.h"

#include <functional>

#include "spool/port_monitor.h"
#include "spool/printer_parking.h"
#include "spool/product_printers.h"

namespace {

using namespace spool_test;
namespace control = winsim::control;
using control::SpoolerCall;

// The parked printers, each printer's ports and the context's outcome.
std::string parkingState(const InstallContext& context) {
    std::string text = "parked:";
    for (PRINTER_INFO_2W** entry = context.parkedPrinters; entry != nullptr && *entry != nullptr;
         ++entry) {
        text += " [" + u8((*entry)->pPrinterName) + "]";
    }
    text += "\nports:";
    for (const char* name : {"A tail", "B head", "C upper file", "D file first"}) {
        text += " [" + printer(name).port + "]";
    }
    return text + "\n" + outcome(context);
}

using PrinterParkingTest = MachineTest;

// "D file first" is turned back where it was parked, not at its first "file:". While the
// spooler keeps refusing the removal, the monitor stays registered, and nothing later would
// move the printers back (an uninstall adds no monitor; a reinstall's AddMonitorW refuses
// the name still registered): they go back at once, the one whose switch failed included.
TEST_F(PrinterParkingTest, PrintersAreParkedForTheRemovalAndSwitchedBackInPlace) {
    const auto refuseRemoval = [] {
        control::failSpoolerCall(SpoolerCall::SetPrinter, 1, ERROR_ACCESS_DENIED);
        control::failSpoolerCall(SpoolerCall::DeleteMonitor, 2, ERROR_PRINT_MONITOR_IN_USE);
    };
    const struct {
        const char* situation;
        std::function<void()> arrange;
        bool reinstall;
    } rows[] = {
        {"removed and registered again", [] {}, false},
        {"registration refused",
         [] { control::failSpoolerCall(SpoolerCall::AddMonitor, 5, ERROR_ACCESS_DENIED); }, false},
        {"deleted product printer",
         [] {
             registerProductDriver();
             addPrinter("F product", "Folioscope:", "Folioscope printer");
         },
         false},
        // The record's terminating slot is its last one.
        {"every printer parked",
         [] { addPrinter("C upper file", "FILE:,Folioscope:", kOtherDriver); }, false},
        {"a look-alike port",
         [] { addPrinter("C upper file", "Folioscope2:,LPT1:", kOtherDriver); }, false},
        {"removal refused, uninstall", refuseRemoval, false},
        {"removal refused, reinstall", refuseRemoval, true},
    };
    std::string transcript;
    for (const auto& row : rows) {
        freshRow(dir());
        registerProductMonitor(1000); // a build that a reinstall replaces
        writeMonitorDll(kProgramDir + "orvmon64.dll", 2060);
        registerOtherDriver();
        addPrinter("A tail", "LPT1:,Folioscope:", kOtherDriver);
        addPrinter("B head", "Folioscope:,LPT1:", kOtherDriver);
        addPrinter("C upper file", "FILE:", kOtherDriver);
        addPrinter("D file first", "file:,Folioscope:", kOtherDriver);
        row.arrange();
        InstallContext context;
        context.reinstall = row.reinstall;
        deleteProductPrinters(context);
        logCase(transcript, std::string(row.situation) + ": removal", context,
                [&] { removeMonitorAsUninstallDoes(context); });
        transcript += parkingState(context);
        logCase(transcript, std::string(row.situation) + ": registration", context,
                [&] { installPortMonitor(context); });
        transcript += parkingState(context);
        // The record outlives a restore; a printer already back is not switched again.
        logCase(transcript, std::string(row.situation) + ": restored again", context,
                [&] { restoreParkedPrinters(context); });
        transcript += parkingState(context);
    }
    expectGolden("spool/printer-parking", transcript);
}

// A record is rebuilt in place of the last one; without memory for it no printer is
// switched: none could be switched back.
TEST_F(PrinterParkingTest, WithoutARecordNothingIsParked) {
    registerProductMonitor(1000);
    registerOtherDriver();
    addPrinter("A tail", "LPT1:,Folioscope:", kOtherDriver);
    InstallContext context;
    parkPrinters(context);
    restoreParkedPrinters(context);
    control::failAllocations(0, 1);
    parkPrinters(context);
    EXPECT_EQ(nullptr, context.parkedPrinters);
    EXPECT_EQ("LPT1:,Folioscope:", printer("A tail").port);
}

} // namespace
