#include "run_test_support.h"

#include <functional>

#include "support/golden.h"
#include "tier1/spool/spool_test_support.h"

namespace {

using namespace run_test;
using namespace winsim::control;

// What a person sees of a run: its exit code and the log dialog's title and text.
std::string transcript(int exitCode) {
    std::string text = "exit code " + std::to_string(exitCode) + "\n";
    for (const ShownDialog& dialog : dialogs()) {
        text += "dialog: " + dialog.title + "\n" + dialog.controls.at(1001);
    }
    return text;
}

void installed() {
    setShiftHeld(false);
    ASSERT_EQ(1, run({"install"}));
}

// An installed product with a compatible monitor and two printers whose settings, comment
// and location the reinstall carries over, one of them the default.
void productWithTwoPrinters() {
    spool_test::registerProductMonitor(2060);
    spool_test::registerProductDriver();
    for (const char* name : {"Folioscope", "Invoices"}) {
        PrinterSetup printer;
        printer.name = name;
        printer.port = "Folioscope:";
        printer.driver = "Folioscope printer";
        printer.comment = std::string(name) + " comment";
        printer.location = std::string(name) + " location";
        printer.data = {{"PrinterDriverData", "SubKey", std::string(name) + "-settings"}};
        addPrinter(printer);
    }
    setDefaultPrinter("Invoices");
}

void twoPrintersCarriedOver() {
    for (const char* name : {"Folioscope", "Invoices"}) {
        PrinterState printer = spool_test::printer(name);
        EXPECT_EQ("Folioscope:", printer.port) << name;
        EXPECT_EQ(std::string(name) + " comment", printer.comment);
        EXPECT_EQ(std::string(name) + " location", printer.location);
        EXPECT_EQ(std::string(name) + "-settings", printer.data["PrinterDriverData\\SubKey"]);
    }
    EXPECT_EQ("Invoices", defaultPrinter());
}

// An older product (build 1100) whose monitor DLL the spooler keeps loaded after the
// monitor is deleted, and whose staged help file a scanner opens once it is written.
void olderProductHeld() {
    spool_test::registerProductMonitor(1100);
    keepMonitorDllAfterDelete("Folioscope:", true);
    spool_test::registerProductDriver("3.0.0.1100");
    spool_test::addPrinter("Folioscope", "Folioscope:", "Folioscope printer");
    holdFileOnceWritten(kDriverDir + "orvhelp.chm", "scanner.exe");
}

// An older product whose monitor DLL had another name, mapped by another program: the
// removal cannot delete it, and the install drops it rather than leave it for a reboot.
void oldMonitorNameHeld() {
    registerMonitor("Folioscope:", "orvmon.dll", "3.0.0.1100");
    holdFile("C:\\Windows\\system32\\orvmon.dll", "rundll32.exe", true);
}

// Set-up cannot start the spooler nor read the system directory, and goes on all the same.
void setupFails() {
    setServiceRunning("spooler", false);
    setServiceStartType("spooler", SERVICE_DISABLED);
    failSystemDirectory(ERROR_ACCESS_DENIED);
}

struct GoldenRun {
    const char* name;
    std::function<void()> prepare;
    const char* word;
    std::function<void()> check;
};

using GoldenRuns = MachineTest;

// Shift is held at the end of each run, so the log is shown even without an error.
TEST_F(GoldenRuns, LogsOfTheMainRunsStayExactlyAsReviewed) {
    const GoldenRun runs[] = {
        {"install-clean", [] {}, "install", [] {}},
        {"reinstall-carried-printers", productWithTwoPrinters, "install", twoPrintersCarriedOver},
        {"reinstall-older-held", olderProductHeld, "install", [] {}},
        {"reinstall-old-monitor-name-held", oldMonitorNameHeld, "install", [] {}},
        {"uninstall-installed", installed, "uninstall",
         [] { EXPECT_FALSE(fileExists(kCompanion)) << "an uninstall deletes the companion"; }},
        {"uninstall-clean", [] {}, "uninstall", [] {}},
        {"uninstall-setup-failures", setupFails, "uninstall", [] {}},
        {"install-driver-missing", [] { DeleteFileW(W(kSetupDir + "orvdrv64.dll")); }, "install",
         [] {}},
    };
    for (const GoldenRun& golden : runs) {
        SCOPED_TRACE(golden.name);
        productMachine(dir());
        golden.prepare();
        setShiftHeld(true);
        setDialogClose(DialogClose::CloseButton);
        int exitCode = run({golden.word});
        expectGolden(golden.name, transcript(exitCode));
        golden.check();
    }
}

} // namespace
