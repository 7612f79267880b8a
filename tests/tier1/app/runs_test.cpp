#include "run_test_support.h"

#include "app/run_wrapper.h"
#include "log/wide_text.h"
#include "record/install_context.h"
#include "system/deferred_files.h"

namespace {

using namespace run_test;
using namespace winsim::control;

const std::string kRunLock = "Global\\Folioscope.Install.Run";

class Runs : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        productMachine(dir());
    }
};

std::string logShown() {
    return dialogs().empty() ? "" : dialogs().back().controls.at(1001);
}

bool logHas(const std::string& text) {
    return logShown().find(text) != std::string::npos;
}

// The exit code, whatever the way of closing the dialog, and the title that goes with it.
// "Close" and Enter end the dialog with 1, Escape and the close box with 0.
TEST_F(Runs, ExitCodesAndTheDialogFollowErrorsRebootsAndShift) {
    const auto none = DialogClose::None;
    const struct {
        const char* situation;
        const char* word;
        bool breakDriver;
        bool holdMonitorDll; // by another program: deleted only at reboot
        bool shift;
        int exitCode;
        const char* title; // "" for no dialog
        DialogClose close;
        int dialogResult;
    } cases[] = {
        {"install", "install", false, false, false, 1, "", none, 0},
        {"install, shift", "serverinstall", false, false, true, 1, " log.",
         DialogClose::CloseButton, 1},
        {"install, error", "IN", true, false, false, 100, " error log!", DialogClose::Enter, 1},
        {"install, error, shift", "install", true, false, true, 100, " error log!",
         DialogClose::CloseBox, 0},
        {"uninstall of nothing", "uninstall", false, false, false, 2, "", none, 0},
        {"uninstall, file held", "un", false, true, false, 101, "", none, 0},
        {"uninstall, file held and error", "un", true, true, false, 100, " error log!",
         DialogClose::Escape, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        productMachine(dir());
        if (std::string(c.word).substr(0, 2) == "un") {
            ASSERT_EQ(1, run({"install"}));
        }
        if (c.holdMonitorDll) {
            holdFile("C:\\Windows\\system32\\orvmon64.dll", "rundll32.exe", true);
        }
        if (c.breakDriver) {
            failSpoolerCall(SpoolerCall::AddPrinterDriverEx, 1, ERROR_ACCESS_DENIED);
            failSpoolerCall(SpoolerCall::DeletePrinterDriverEx, 2, ERROR_ACCESS_DENIED);
        }
        // What an earlier run left for the next boot goes now, where nothing holds it.
        writeFile("C:\\Windows\\system32\\orvold.dll", "old");
        MoveFileExW(L"C:\\Windows\\system32\\orvold.dll", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        setShiftHeld(c.shift);
        setDialogClose(c.close);
        EXPECT_EQ(c.exitCode, run({c.word}));
        EXPECT_FALSE(fileExists("C:\\Windows\\system32\\orvold.dll"));
        EXPECT_EQ(uint32_t{LOAD_LIBRARY_SEARCH_SYSTEM32}, defaultDllDirectories());
        if (c.title[0] == '\0') {
            EXPECT_TRUE(dialogs().empty());
        } else {
            ASSERT_EQ(1u, dialogs().size());
            EXPECT_EQ(std::string("Folioscope build 2060- Install") + c.title, dialogs()[0].title);
            EXPECT_EQ(c.close, dialogs()[0].closedBy);
            EXPECT_EQ(c.dialogResult, dialogs()[0].result);
        }
    }
}

TEST_F(Runs, TheDialogBelongsToTheOwnerWindowOnlyWhenTheWordNamesOne) {
    uint32_t pid = startProgram("C:\\Program Files\\Setup\\setup.exe", helpViewer({"Setup"}));
    uintptr_t window = programs().back().windows.at(0).hwnd;
    (void)pid;
    setShiftHeld(true);
    const struct {
        std::vector<std::string> words;
        uintptr_t owner;
    } rows[] = {{{"install", std::to_string(window)}, window},
                {{"install", "12"}, 0},
                {{"install", "x"}, 0},
                {{"install", std::to_string(window), "more"}, 0}};
    for (const auto& row : rows) {
        size_t shown = dialogs().size();
        ASSERT_EQ(1, run(row.words));
        ASSERT_EQ(shown + 1, dialogs().size());
        EXPECT_EQ(row.owner, reinterpret_cast<uintptr_t>(dialogs().back().owner));
    }
}

// A run started by a service must not wait for a click no one can make.
TEST_F(Runs, NoDialogOnAWindowStationNoOneSees) {
    setWindowStationVisible(false);
    failSpoolerCall(SpoolerCall::AddPrinterDriverEx, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(100, run({"install"}));
    EXPECT_TRUE(dialogs().empty());
}

TEST_F(Runs, FilesTheRebootRefusesDoNotCount) {
    InstallContext context;
    for (const char* path : {"C:\\a.dll", "C:\\b.dll", "C:\\c.dll"}) {
        addDeferredFile(context.deferredFiles, W(path));
    }
    refuseBootDeletion("C:\\b.dll");
    EXPECT_EQ(2, scheduleForReboot(context));
    EXPECT_EQ(nullptr, context.deferredFiles);
}

// A scanner still reads the monitor DLL through the removal's own two deletes, and is done
// by the leftovers' first try: no spooler restart and nothing left for a reboot.
TEST_F(Runs, ALeftoverThatGoesAtTheFirstTryNeedsNoRestart) {
    ASSERT_EQ(1, run({"install"}));
    holdFileForRefusals("C:\\Windows\\system32\\orvmon64.dll", "scanner.exe", false, 2);
    const unsigned stops = serviceStopCount("spooler");
    EXPECT_EQ(2, run({"uninstall"}));
    EXPECT_EQ(stops, serviceStopCount("spooler"));
    EXPECT_FALSE(fileExists("C:\\Windows\\system32\\orvmon64.dll"));
}

TEST_F(Runs, AReinstallKeepsTheCompanionAndRemovetrayRemovesIt) {
    ASSERT_EQ(1, run({"install"}));
    ASSERT_EQ(1, run({"install"}));
    EXPECT_EQ(kCompanion, registeredCompanion());
    EXPECT_TRUE(fileExists(kCompanion));
    auto running = [] {
        unsigned count = 0;
        for (const ProgramState& program : programs()) {
            count += program.running && program.image == kCompanion;
        }
        return count;
    };
    EXPECT_EQ(1u, running());
    EXPECT_EQ(6, run({"removetray"}));
    EXPECT_EQ(0u, running());
    EXPECT_FALSE(fileExists(kCompanion));
    EXPECT_EQ("-", registeredCompanion());
}

// Windows' own monitors, drivers and printers come out of an install, the status commands
// and an uninstall as they went in.
TEST_F(Runs, TheInboxObjectsAreNeverTouched) {
    auto inbox = [] {
        std::string all;
        for (const MonitorState& monitor : monitors()) {
            all += monitor.name + " " + monitor.dll + "\n";
        }
        for (const DriverState& driver : drivers()) {
            all += driver.name + " " + driver.driverFile + " " + driver.configFile + "\n";
        }
        for (const PrinterState& printer : printers()) {
            all += printer.name + " " + printer.port + " " + printer.driver + "\n";
        }
        return all;
    };
    const std::string before = inbox();
    ASSERT_EQ(1, run({"install"}));
    EXPECT_EQ(102, run({"onInit"}));
    EXPECT_EQ(4, run({"def.set"}));
    EXPECT_EQ(3, run({"onInit"}));
    EXPECT_EQ(2, run({"uninstall"}));
    EXPECT_EQ(before, inbox());
}

// Another run holds the machine-wide lock: this one waits, then says so after its set-up.
TEST_F(Runs, ASecondRunWaitsForTheFirst) {
    const struct {
        uint64_t holderEndsMs;
        bool releases;
        uint64_t waitedMs;
        const char* line;
    } rows[] = {
        {1, true, 1, "Waited 1 s for another installer run to finish"},
        {2500, true, 2500, "Waited 3 s for another installer run to finish"},
        {3000, false, 3000, "Another installer run ended without finishing; went on after 3 s"},
        {599999, true, 599999, "Waited 600 s for another installer run to finish"},
        {kNever, true, 600000, "Another installer run is still busy after 600 s; going on anyway"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        productMachine(dir());
        startProgram("C:\\Program Files\\Folioscope\\Setup\\folioinst.exe",
                     mutexHolder(kRunLock, row.holderEndsMs, row.releases));
        // Kept open, so the lock outlives the run: however the run took it, it let go.
        HANDLE kept = CreateMutexW(nullptr, FALSE, W(kRunLock));
        setShiftHeld(true);
        uint64_t start = clockMs();
        EXPECT_EQ(1, run({"install"}));
        EXPECT_LE(row.waitedMs, clockMs() - start);
        EXPECT_TRUE(logHas(std::string("\r\n") + row.line + "\r\n>ReInstall")) << logShown();
        for (const MutexState& mutex : mutexes()) {
            EXPECT_NE(installerProcessId(), mutex.ownerPid) << mutex.name;
        }
        CloseHandle(kept);
    }
    // A free lock: no line, though the tick count moves on between any two reads.
    productMachine(dir());
    passTimeBetweenTickReads(16);
    setShiftHeld(true);
    EXPECT_EQ(1, run({"install"}));
    EXPECT_FALSE(logHas("another installer run")) << logShown();
}

// Each window closes 100 ms after its request, so a request every 50 ms asks each twice.
// One that ignores the request gets 100 requests, 50 ms apart, and the run goes on.
TEST_F(Runs, HelpWindowsAreClosedBeforeTheRun) {
    startProgram("C:\\Windows\\hh.exe", helpViewer({"Folioscope Help", "Folioscope Help"}));
    ASSERT_EQ(1, run({"install"}));
    EXPECT_EQ(nullptr, FindWindowW(L"HH Parent", L"Folioscope Help"));
    EXPECT_EQ(4u, programs().at(0).messages.at(0x0112));
    ProgramBehaviour stubborn = helpViewer();
    stubborn.answerAfterMs = kNever;
    uint32_t pid = startProgram("C:\\Windows\\hh.exe", stubborn);
    ASSERT_EQ(2, run({"uninstall"}));
    for (const ProgramState& program : programs()) {
        if (program.pid == pid) {
            EXPECT_EQ(100u, program.messages.at(0x0112));
        }
    }
}

} // namespace
