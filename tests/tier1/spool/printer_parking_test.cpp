// Printers on the product's port are parked on "file:" so that the spooler lets the
// monitor go, and switched back at the same place once the monitor is registered again,
// or at once when it cannot be removed.
#include "spool_test_support.h"

#include <vector>

#include "spool/port_monitor.h"
#include "spool/product_printers.h"

namespace {

using namespace spool_test;
namespace control = winsim::control;

std::vector<std::string> parkedNames(const InstallContext& context) {
    std::vector<std::string> names;
    for (PRINTER_INFO_2W** entry = context.parkedPrinters; entry != nullptr && *entry != nullptr;
         ++entry) {
        names.push_back(u8((*entry)->pPrinterName));
    }
    return names;
}

const std::string kHeader =
    foundMonitorHeader() +
    lines({"  There is no check for monitor version", "  Can't delete monitor from the first try"});
const std::string kSwitched = lines({
    "  SetPrinter(A tail) - ok",
    "  SetPrinter(B head) - ok",
    "  SetPrinter(D file first) - ok",
});
const std::string kRegistered = lines({">AddMonitor", "  Copy monitor file",
                                       "  >CopyFile orvmon64.dll to C:\\Windows\\system32\\ [0])",
                                       "    Copy Succeeded :)", "  AddMonitor - OK :)"});

class ParkedMachine : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        registerProductMonitor(1000); // a build that a reinstall replaces
        writeMonitorDll(kProgramDir + "orvmon64.dll", 2060);
        registerOtherDriver();
        addPrinter("A tail", "LPT1:,Folioscope:", kOtherDriver);
        addPrinter("B head", "Folioscope:,LPT1:", kOtherDriver);
        addPrinter("C upper file", "FILE:", kOtherDriver);
        addPrinter("D file first", "file:,Folioscope:", kOtherDriver);
    }

    static void expectPorts(const std::vector<std::string>& ports) {
        const char* names[] = {"A tail", "B head", "C upper file", "D file first"};
        for (size_t i = 0; i < ports.size(); ++i) {
            EXPECT_EQ(ports[i], printer(names[i]).port) << names[i];
        }
    }
};

TEST_F(ParkedMachine, PortsAreParkedAndRestoredInPlace) {
    InstallContext context;
    EXPECT_EQ(kHeader + kSwitched + lines({"  Monitor was removed :)"}),
              logOf(context, [&] { removeMonitorAsUninstallDoes(context); }));
    EXPECT_EQ((std::vector<std::string>{"A tail", "B head", "D file first"}), parkedNames(context));
    expectPorts({"LPT1:,file:", "file:,LPT1:", "FILE:", "file:,file:"});

    EXPECT_EQ(kRegistered + kSwitched, logOf(context, [&] { installPortMonitor(context); }));
    // "D file first" is turned back where it was parked, not at its first "file:".
    expectPorts({"LPT1:,Folioscope:", "Folioscope:,LPT1:", "FILE:", "file:,Folioscope:"});
    EXPECT_EQ(0, context.errorCount);
}

TEST_F(ParkedMachine, FailedRegistrationLeavesThePrintersParked) {
    InstallContext context;
    removeMonitorAsUninstallDoes(context);
    control::failSpoolerCall(control::SpoolerCall::AddMonitor, 5, ERROR_ACCESS_DENIED);
    const std::string log = logOf(context, [&] { installPortMonitor(context); });
    EXPECT_EQ(std::string::npos, log.find("SetPrinter")) << "no printer is switched back";
    EXPECT_EQ(1, context.errorCount);
    expectPorts({"LPT1:,file:", "file:,LPT1:", "FILE:", "file:,file:"});
}

TEST_F(ParkedMachine, DeletedProductPrinterIsParkedButCannotBeOpened) {
    registerProductDriver();
    addPrinter("F product", "Folioscope:", "Folioscope printer");
    InstallContext context;
    deleteProductPrinters(context);
    const std::string cannotOpen = lines({"  Can't open printer F product"});
    EXPECT_EQ(kHeader + kSwitched + cannotOpen + lines({"  Monitor was removed :)"}),
              logOf(context, [&] { removeMonitorAsUninstallDoes(context); }));
    EXPECT_EQ((std::vector<std::string>{"A tail", "B head", "D file first", "F product"}),
              parkedNames(context));
    EXPECT_EQ(kRegistered + kSwitched + cannotOpen,
              logOf(context, [&] { installPortMonitor(context); }));
    EXPECT_EQ(0, context.errorCount);
}

// While the spooler keeps refusing, the monitor stays registered, and nothing later would
// move the printers back (an uninstall adds no monitor; a reinstall's AddMonitorW refuses
// the name still registered): they go back at once, the one whose switch failed included.
TEST_F(ParkedMachine, FailedRemovalPutsTheParkedPrintersBackAtOnce) {
    const std::vector<std::string> original = {
        "LPT1:,Folioscope:", "Folioscope:,LPT1:", "FILE:", "file:,Folioscope:"};
    for (bool reinstall : {false, true}) {
        SCOPED_TRACE(reinstall ? "reinstall" : "uninstall");
        InstallContext context;
        context.reinstall = reinstall;
        control::failSpoolerCall(control::SpoolerCall::SetPrinter, 1, ERROR_ACCESS_DENIED);
        control::failSpoolerCall(control::SpoolerCall::DeleteMonitor, 2,
                                 ERROR_PRINT_MONITOR_IN_USE);
        EXPECT_EQ(foundMonitorHeader() +
                      lines({reinstall ? "  Version (1000) is not supported, proceed with reinstall"
                                       : "  There is no check for monitor version",
                             "  Can't delete monitor from the first try",
                             "  SetPrinter(A tail) - failed", "  SetPrinter(B head) - ok",
                             "  SetPrinter(D file first) - ok", "  >Restart Spooler",
                             "  Error(12): Can`t remove the port monitor 'Folioscope:' - (The "
                             "specified print monitor is currently in use.)"}) +
                      kSwitched,
                  logOf(context, [&] { removeMonitorAsUninstallDoes(context); }));
        expectPorts(original);
        if (reinstall) {
            installPortMonitor(context);
            expectPorts(original);
        }
        EXPECT_EQ(reinstall ? 2 : 1, context.errorCount);
    }
}

} // namespace
