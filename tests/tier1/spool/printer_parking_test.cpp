// Printers on the product's port are parked on "file:" so that the spooler lets the
// monitor go, and switched back at the same place once the monitor is registered again.
#include "spool_test_support.h"

#include <vector>

#include "spool/monitor_list.h"
#include "spool/port_monitor.h"
#include "spool/product_printers.h"

namespace {

using namespace spool_test;
namespace control = winsim::control;

using PrinterParkingTest = MachineTest;

void removeAsUninstallDoes(InstallContext& context) {
    MonitorList monitors;
    enumerateMonitors(monitors, context);
    removePortMonitor(context, monitors);
    if (monitors.monitors != nullptr) {
        GlobalFree(monitors.monitors);
    }
}

std::vector<std::string> parkedNames(const InstallContext& context) {
    std::vector<std::string> names;
    for (PRINTER_INFO_2W** entry = context.parkedPrinters; entry != nullptr && *entry != nullptr;
         ++entry) {
        names.push_back(u8((*entry)->pPrinterName));
    }
    return names;
}

class ParkedMachine : public PrinterParkingTest {
  protected:
    void SetUp() override {
        PrinterParkingTest::SetUp();
        registerProductMonitor(2060);
        writeMonitorDll(kProgramDir + "orvmon64.dll", 2060);
        registerOtherDriver();
        addPrinter("A tail", "LPT1:,Folioscope:", kOtherDriver);
        addPrinter("B head", "Folioscope:,LPT1:", kOtherDriver);
        addPrinter("C upper file", "FILE:", kOtherDriver);
        addPrinter("D file first", "file:,Folioscope:", kOtherDriver);
        addPrinter("E elsewhere", "LPT2:", kOtherDriver);
    }

    const std::string header = lines({
        ">DeleteMonitor",
        "  ------- 2 existing monitors ----------",
        "  1. Folioscope:",
        "  2. Local Port",
        "  ---------------------------------------",
        "  Port monitor is found. Index=1",
        "  Trying to get monitor filename from MONITOR_INFO_2",
        "  Auto calculated monitor file name: C:\\Windows\\system32\\orvmon64.dll",
        "  There is no check for monitor version",
        "  Can't delete monitor from the first try",
    });
    const std::string switched = lines({
        "  SetPrinter(A tail) - ok",
        "  SetPrinter(B head) - ok",
        "  SetPrinter(D file first) - ok",
    });
};

TEST_F(ParkedMachine, PortsAreParkedAndRestoredInPlace) {
    InstallContext context;
    size_t mark = logMark(context);
    removeAsUninstallDoes(context);
    EXPECT_EQ(header + switched + lines({"  Monitor was removed :)"}), logSince(context, mark));
    EXPECT_EQ((std::vector<std::string>{"A tail", "B head", "D file first"}), parkedNames(context));
    EXPECT_EQ("LPT1:,file:", printer("A tail").port);
    EXPECT_EQ("file:,LPT1:", printer("B head").port);
    EXPECT_EQ("FILE:", printer("C upper file").port);
    EXPECT_EQ("file:,file:", printer("D file first").port);
    EXPECT_EQ("LPT2:", printer("E elsewhere").port);

    mark = logMark(context);
    installPortMonitor(context);
    EXPECT_EQ(lines({">AddMonitor", "  Copy monitor file",
                     "  >CopyFile orvmon64.dll to C:\\Windows\\system32\\ [0])",
                     "    Copy Succeeded :)", "  AddMonitor - OK :)"}) +
                  switched,
              logSince(context, mark));
    EXPECT_EQ("LPT1:,Folioscope:", printer("A tail").port);
    EXPECT_EQ("Folioscope:,LPT1:", printer("B head").port);
    EXPECT_EQ("FILE:", printer("C upper file").port);
    EXPECT_EQ("file:,Folioscope:", printer("D file first").port)
        << "turned back where it was parked, not at the first \"file:\"";
    EXPECT_EQ("LPT2:", printer("E elsewhere").port);
    EXPECT_EQ(0, context.errorCount);
}

TEST_F(ParkedMachine, FailedRegistrationLeavesThePrintersParked) {
    InstallContext context;
    removeAsUninstallDoes(context);
    control::failSpoolerCall(control::SpoolerCall::AddMonitor, 5, ERROR_ACCESS_DENIED);
    installPortMonitor(context);
    EXPECT_EQ(1, context.errorCount);
    EXPECT_EQ("LPT1:,file:", printer("A tail").port);
    EXPECT_EQ("file:,file:", printer("D file first").port);
}

TEST_F(ParkedMachine, DeletedProductPrinterIsParkedButCannotBeOpened) {
    registerProductDriver();
    addPrinter("F product", "Folioscope:", "Folioscope printer");
    InstallContext context;
    deleteProductPrinters(context);
    size_t mark = logMark(context);
    removeAsUninstallDoes(context);
    EXPECT_EQ(header + lines({"  SetPrinter(A tail) - ok", "  SetPrinter(B head) - ok",
                              "  SetPrinter(D file first) - ok", "  Can't open printer F product",
                              "  Monitor was removed :)"}),
              logSince(context, mark));
    EXPECT_EQ((std::vector<std::string>{"A tail", "B head", "D file first", "F product"}),
              parkedNames(context));

    mark = logMark(context);
    installPortMonitor(context);
    EXPECT_EQ(
        lines({">AddMonitor", "  Copy monitor file",
               "  >CopyFile orvmon64.dll to C:\\Windows\\system32\\ [0])", "    Copy Succeeded :)",
               "  AddMonitor - OK :)", "  SetPrinter(A tail) - ok", "  SetPrinter(B head) - ok",
               "  SetPrinter(D file first) - ok", "  Can't open printer F product"}),
        logSince(context, mark));
    EXPECT_EQ(0, context.errorCount);
}

TEST_F(ParkedMachine, RefusedPortChangeIsLoggedAndTheEntryStaysRecorded) {
    InstallContext context;
    control::failSpoolerCall(control::SpoolerCall::SetPrinter, 1, ERROR_ACCESS_DENIED);
    control::failSpoolerCall(control::SpoolerCall::DeleteMonitor, 2, ERROR_PRINT_MONITOR_IN_USE);
    size_t mark = logMark(context);
    removeAsUninstallDoes(context);
    EXPECT_EQ(header + lines({"  SetPrinter(A tail) - failed", "  SetPrinter(B head) - ok",
                              "  SetPrinter(D file first) - ok", "  >Restart Spooler",
                              "  Error(12): Can`t remove the port monitor 'Folioscope:' - (The "
                              "specified print monitor is currently in use.)"}),
              logSince(context, mark));
    EXPECT_EQ((std::vector<std::string>{"A tail", "B head", "D file first"}), parkedNames(context));
    EXPECT_EQ("LPT1:,Folioscope:", printer("A tail").port);
}

} // namespace
