#include "run_test_support.h"

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

#include "spool_test_support.h"

namespace {

using namespace run_test;
using namespace winsim::control;

// What a person sees of a run: its exit code and the log dialog's title and text. With
// FOLIO_UPDATE_GOLDEN set, the files are written instead of compared.
std::string transcript(int exitCode) {
    std::string text = "exit code " + std::to_string(exitCode) + "\n";
    for (const ShownDialog& dialog : dialogs()) {
        text += "dialog: " + dialog.title + "\n" + dialog.controls.at(1001);
    }
    return text;
}

std::string goldenPath(const std::string& name) {
    return std::string(FOLIO_SOURCE_DIR) + "/tests/golden/" + name + ".log";
}

void compareWithGolden(const std::string& name, const std::string& actual) {
    const std::string path = goldenPath(name);
    if (std::getenv("FOLIO_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << "no golden log " << path << " (FOLIO_UPDATE_GOLDEN=1 writes it)";
    std::stringstream expected;
    expected << file.rdbuf();
    EXPECT_EQ(expected.str(), actual) << name;
}

void installed() {
    setShiftHeld(false);
    ASSERT_EQ(1, run({"install"}));
}

// Two carried printers: settings in SubKey, a comment and a location, one the default.
void installedWithTwoPrinters() {
    installed();
    for (const char* name : {"Folioscope", "Invoices"}) {
        if (std::string(name) != "Folioscope") {
            spool_test::addPrinter(name, "Folioscope:", "Folioscope printer");
        }
        HANDLE printer = nullptr;
        ASSERT_TRUE(OpenPrinterW(W(name), &printer, nullptr));
        char value[] = "SubKey";
        std::string subKey = std::string(name) + "-settings";
        SetPrinterDataA(printer, value, REG_SZ,
                        reinterpret_cast<BYTE*>(const_cast<char*>(subKey.c_str())),
                        static_cast<DWORD>(subKey.size() + 1));
        ClosePrinter(printer);
    }
    setDefaultPrinter("Invoices");
}

// An older product: monitor and driver DLLs of build 1100, which the running spooler holds.
void olderProductHeld() {
    spool_test::registerProductMonitor(1100);
    DriverSetup driver;
    driver.name = "Folioscope printer";
    driver.driverFile = "orvdrv64.dll";
    driver.configFile = "orvui64.dll";
    driver.helpFile = "orvhelp.chm";
    driver.version = "3.0.0.1100";
    registerDriver(driver);
    spool_test::addPrinter("Folioscope", "Folioscope:", "Folioscope printer");
    holdFileBySpooler(kDriverDir + "3\\orvdrv64.dll", true);
    holdFileBySpooler(kDriverDir + "3\\orvui64.dll", true);
}

struct GoldenRun {
    const char* name;
    std::function<void()> prepare;
    const char* word;
};

using GoldenRuns = MachineTest;

// Shift is held at the end of each run, so the log is shown even without an error.
TEST_F(GoldenRuns, LogsOfTheMainRunsStayExactlyAsReviewed) {
    const GoldenRun runs[] = {
        {"install-clean", [] {}, "install"},
        {"reinstall-carried-printers", installedWithTwoPrinters, "install"},
        {"reinstall-older-held", olderProductHeld, "install"},
        {"uninstall-installed", installed, "uninstall"},
        {"uninstall-clean", [] {}, "uninstall"},
        {"install-driver-missing", [] { DeleteFileW(W(kSetupDir + "orvdrv64.dll")); }, "install"},
    };
    for (const GoldenRun& golden : runs) {
        SCOPED_TRACE(golden.name);
        productMachine(dir());
        golden.prepare();
        setShiftHeld(true);
        setDialogClose(DialogClose::CloseButton);
        int exitCode = run({golden.word});
        compareWithGolden(golden.name, transcript(exitCode));
    }
}

} // namespace
