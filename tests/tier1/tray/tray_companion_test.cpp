#include "support/machine_test.h"
#include "tier1/app/run_test_support.h"

#include <functional>
#include <string>

#include "log/wide_text.h"
#include "record/install_context.h"
#include "tray/tray_companion.h"
#include "winsim/control.h"

namespace {

using namespace winsim::control;

const std::string kInstaller = "C:\\Program Files\\Folioscope\\Setup\\folioinst.exe";
using run_test::kCompanion;
const char kMutexName[] = "{3E71B0C2-5D4A-4F19-9C83-2A6B7E0D1F54}";
const WCHAR kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const uint32_t kQuitMessage = 0x402;

// The logon value; without its terminator, when the text goes on behind the stored bytes.
void registerValue(const std::string& path, bool withTerminator) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_ALL_ACCESS, &key));
    W text(withTerminator ? path : path + "x");
    DWORD bytes = static_cast<DWORD>(2 * path.size() + (withTerminator ? 2 : 0));
    const WCHAR* data = text;
    RegSetValueExW(key, L"FolioscopeTray", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), bytes);
    RegCloseKey(key);
}

class TrayCompanion : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        resetMachine();
    }
    void resetMachine() {
        freshMachine(dir());
        setProgramPath(kInstaller);
        ASSERT_TRUE(writeUnversionedPe(kCompanion, UnversionedPe::noResources));
    }
};

struct StopCase {
    const char* situation;
    bool running;
    ProgramBehaviour behaviour;
    bool registered;
    uint64_t waitedMs;
    bool deleted;
    unsigned quitMessages;
    std::function<void()> arrange = {};
    std::string registeredAfter = "-";
};

ProgramBehaviour companion(void (*change)(ProgramBehaviour&)) {
    ProgramBehaviour behaviour = trayCompanion();
    change(behaviour);
    return behaviour;
}

// The companion quits 300 ms after its message unless a row says otherwise. While it runs
// it maps its executable, so the ten delete tries (100 ms apart) all fail.
TEST_F(TrayCompanion, StopWaitsAsLongAsTheCompanionNeedsAndNoLonger) {
    const auto eventTakesMutexName = [] { holdOtherObjectName(kMutexName); };
    const auto standardUser = [] { setAdministrator(false); };
    const auto scannerReadsExecutable = [] { holdFile(kCompanion, "scanner.exe", false); };
    const auto executableGone = [] { DeleteFileW(W(kCompanion)); };
    const auto emptyRegistration = [] { registerValue("", true); };
    const StopCase cases[] = {
        {"not running", false, {}, true, 0, true, 0},
        {"answers at once", true, trayCompanion(), true, 300, true, 1},
        {"executable held after it ended", true,
         companion([](ProgramBehaviour& b) { b.imageHeldAfterEndMs = 250; }), true, 600, true, 1},
        {"window shows late", true, companion([](ProgramBehaviour& b) { b.windowAfterMs = 600; }),
         true, 1050, true, 1},
        {"mutex abandoned", true, companion([](ProgramBehaviour& b) { b.releasesMutex = false; }),
         true, 300, true, 1},
        {"window gone, mutex kept", true,
         companion([](ProgramBehaviour& b) { b.mutexKeptMs = kNever; }), true, 11000, false, 1},
        {"never answers", true, companion([](ProgramBehaviour& b) { b.answerAfterMs = kNever; }),
         true, 106000, false, 20},
        {"no window", true, companion([](ProgramBehaviour& b) { b.windowTitles.clear(); }), true,
         6000, false, 0},
        {"registration missing", false, {}, false, 1000, false, 0},
        // Without the mutex the executable stays, without the key everything does; one
        // that is gone, or named by nobody, costs no wait.
        {"mutex name taken by an event", false, {}, true, 0, false, 0, eventTakesMutexName},
        {"standard user", false, {}, true, 0, false, 0, standardUser, kCompanion},
        {"executable read by a scanner", false, {}, true, 100, false, 0, scannerReadsExecutable},
        {"executable gone", false, {}, true, 0, true, 0, executableGone},
        {"empty registration", false, {}, false, 0, false, 0, emptyRegistration},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.situation);
        resetMachine();
        if (c.running) {
            startProgram(kCompanion, c.behaviour);
        }
        if (c.registered) {
            registerValue(kCompanion, true);
        }
        if (c.arrange) {
            c.arrange();
        }
        uint64_t start = clockMs();
        stopTrayCompanion(nullptr);
        EXPECT_EQ(c.waitedMs, clockMs() - start);
        EXPECT_EQ(!c.deleted, fileExists(kCompanion));
        EXPECT_EQ(c.registeredAfter, run_test::registeredCompanion());
        if (c.running) {
            const auto posted = programs().at(0).messages;
            EXPECT_EQ(c.quitMessages, posted.count(kQuitMessage) ? posted.at(kQuitMessage) : 0u);
        }
    }
}

// A path that does not fit the 264-character buffer whole is not deleted: a cut path
// would name another file.
TEST_F(TrayCompanion, OnlyARegisteredPathThatFitsWholeIsDeleted) {
    const struct {
        size_t length;
        bool storedWithTerminator;
        bool deleted;
    } rows[] = {{263, true, true},
                {263, false, true},
                {264, true, false},
                {264, false, false},
                {300, true, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.length);
        std::string path = "C:\\" + std::string(200, 'd') + "\\" +
                           std::string(row.length - 216, 'e') + "\\foltray.exe";
        ASSERT_EQ(row.length, path.size());
        ASSERT_TRUE(writeFile(path, "MZ"));
        ASSERT_TRUE(writeFile(path.substr(0, path.size() - 1), "MZ"));
        registerValue(path, row.storedWithTerminator);
        stopTrayCompanion(nullptr);
        EXPECT_EQ(!row.deleted, fileExists(path));
        EXPECT_TRUE(fileExists(path.substr(0, path.size() - 1)));
        EXPECT_EQ("-", run_test::registeredCompanion());
    }
}

TEST_F(TrayCompanion, AReinstallKeepsTheExecutableItStartsAgain) {
    registerValue(kCompanion, true);
    startProgram(kCompanion, trayCompanion());
    stopTrayCompanion(W("c:\\program files\\folioscope\\FOLTRAY.EXE"));
    EXPECT_TRUE(fileExists(kCompanion));
    EXPECT_EQ("-", run_test::registeredCompanion());
    // A companion registered elsewhere than the one started again goes.
    registerValue(kCompanion, true);
    stopTrayCompanion(W("C:\\Folio\\foltray.exe"));
    EXPECT_FALSE(fileExists(kCompanion));
}

TEST_F(TrayCompanion, StartRegistersAndStartsTheCompanionBesideTheInstallersFolder) {
    const struct {
        const char* installer;
        uint32_t major;
        uint32_t platform;
        const char* registered; // "-": nothing registered and nothing started
    } cases[] = {
        {"C:\\Program Files\\Folioscope\\Setup\\folioinst.exe", 6, 2, kCompanion.c_str()},
        {"C:\\Program Files\\Folioscope\\Setup\\folioinst.exe", 10, 2, kCompanion.c_str()},
        {"C:\\Program Files\\Folioscope\\Setup\\folioinst.exe", 5, 2, "-"},
        {"C:\\Program Files\\Folioscope\\Setup\\folioinst.exe", 6, 1, "-"},
        {"C:\\Setup\\folioinst.exe", 6, 2, "C:\\foltray.exe"},
        {"C:/Folio/Setup/folioinst.exe", 6, 2, "C:/Folio\\foltray.exe"},
        {"C:\\folioinst.exe", 6, 2, "foltray.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.installer);
        resetMachine();
        if (c.registered[0] == 'C') {
            ASSERT_TRUE(writeUnversionedPe(c.registered, UnversionedPe::noResources));
        }
        setProgramPath(c.installer);
        setWindowsVersion(c.major, 0, 9200, c.platform);
        {
            InstallContext context;
            startTrayCompanion(context);
        }
        EXPECT_EQ(c.registered, run_test::registeredCompanion());
        std::vector<ProgramState> all = programs();
        if (c.registered[0] == 'C') {
            ASSERT_EQ(1u, all.size());
            EXPECT_EQ(std::string("\"") + c.registered + "\"", all[0].commandLine);
            EXPECT_EQ(1u, all[0].startupFlags);
            EXPECT_EQ(5u, all[0].showWindow);
        } else if (c.registered[0] == '-') {
            EXPECT_TRUE(all.empty());
        }
    }
}

// The command line carries at most 259 characters of the path; the registration all of it.
TEST_F(TrayCompanion, ALongPathIsCutOnTheCommandLineOnly) {
    std::string installerDir = "C:\\" + std::string(250, 'p') + "\\S\\";
    std::string companionPath = "C:\\" + std::string(250, 'p') + "\\foltray.exe";
    std::string cut = companionPath.substr(0, 259);
    // The cut name has no extension, so Windows looks for it with ".exe".
    ASSERT_TRUE(writeUnversionedPe(cut + ".exe", UnversionedPe::noResources));
    {
        InstallContext context;
        assign(context.programDir, W(installerDir));
        startTrayCompanion(context);
    }
    EXPECT_EQ(companionPath, run_test::registeredCompanion());
    std::vector<ProgramState> all = programs();
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ("\"" + cut + "\"", all[0].commandLine);
}

} // namespace
