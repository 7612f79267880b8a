// Top-level windows of the other programs, and how the tray companion and the help viewer
// answer posted messages over the virtual clock.
#include <windows.h>

#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

namespace control = winsim::control;

const DWORD kPoison = 0xDEADBEEF;
const char kTray[] = "C:\\Program Files\\Folioscope\\foltray.exe";
const char kTrayClass[] = "fsp::{6C2F8A19-E4B7-4D03-A5E1-97B3C40D2E86}";
const char kHelp[] = "C:\\Windows\\hh.exe";

HWND find(const char* className, const char* title) {
    const W wideClass(className ? className : "");
    const W wideTitle(title ? title : "");
    return FindWindowW(className ? static_cast<const WCHAR*>(wideClass) : nullptr,
                       title ? static_cast<const WCHAR*>(wideTitle) : nullptr);
}

// The installer's own dialog is a window while it is shown.
INT_PTR CALLBACK endAtOnce(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        EndDialog(dialog, IsWindow(dialog) && PostMessageW(dialog, WM_USER, 0, 0) ? 1 : 2);
    }
    return FALSE;
}

class Programs : public MachineTest {};

// Names match in any letter case, a null one matches any window, and the newest window of
// several that match is found. Finding nothing leaves the last error alone.
TEST_F(Programs, FindWindowIsWindowAndPostMessage) {
    control::startProgram(kHelp, control::helpViewer({"Folioscope Help", "Other Help"}));
    control::startProgram(kTray, control::trayCompanion());
    const HWND help = reinterpret_cast<HWND>(control::programs()[0].windows[0].hwnd);
    const HWND other = reinterpret_cast<HWND>(control::programs()[0].windows[1].hwnd);
    const HWND tray = reinterpret_cast<HWND>(control::programs()[1].windows[0].hwnd);
    const struct {
        const char* className;
        const char* title;
        HWND found;
    } rows[] = {{"hh parent", "FOLIOSCOPE help", help}, {"HH Parent", nullptr, other},
                {nullptr, "folioscope tray", tray},     {nullptr, nullptr, tray},
                {"HH Parent", "Folioscope", nullptr},   {"Missing", nullptr, nullptr}};
    for (const auto& row : rows) {
        SetLastError(kPoison);
        EXPECT_EQ(row.found, find(row.className, row.title)) << row.className << row.title;
        EXPECT_EQ(kPoison, GetLastError());
    }
    EXPECT_TRUE(IsWindow(tray));
    EXPECT_FALSE(IsWindow(nullptr));
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(0x10010)));
    EXPECT_EQ(1, DialogBoxParamW(static_cast<HINSTANCE>(control::programInstance()),
                                 MAKEINTRESOURCEW(101), tray, endAtOnce, 0));

    SetLastError(kPoison);
    EXPECT_TRUE(PostMessageW(tray, WM_USER + 2, 0, 0));
    EXPECT_TRUE(PostMessageW(tray, WM_USER + 2, 0, 0));
    EXPECT_EQ(kPoison, GetLastError());
    EXPECT_TRUE(IsWindow(tray)) << "the companion answers later";
    EXPECT_FALSE(PostMessageW(reinterpret_cast<HWND>(0x10010), WM_USER + 2, 0, 0));
    EXPECT_EQ(DWORD(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    Sleep(300);
    EXPECT_FALSE(IsWindow(tray));
    EXPECT_FALSE(PostMessageW(tray, WM_USER + 2, 0, 0));
    EXPECT_EQ(DWORD(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    const std::map<uint32_t, unsigned> received{{WM_USER + 2, 2}};
    EXPECT_EQ(received, control::programs()[1].messages);
}

// The installer opens the companion's mutex, posts the quit message at 1000 ms to whatever
// window it finds then, and looks at the window and the mutex at the given moments.
TEST_F(Programs, TrayCompanionAnswersTheQuitMessageAsItsKnobsSay) {
    enum Mutex { held, released, abandoned };
    struct Probe {
        uint64_t atMs;
        bool window;
        Mutex mutex;
    };
    const uint64_t never = control::kNever;
    const struct {
        const char* name;
        bool window;
        uint64_t windowAfterMs, answerAfterMs, mutexKeptMs;
        bool releases;
        std::vector<Probe> probes;
    } rows[] = {
        {"answers", true, 0, 300, 0, true, {{1299, true, held}, {1300, false, released}}},
        {"late window",
         true,
         500,
         300,
         0,
         true,
         {{499, false, held}, {500, true, held}, {1300, false, released}}},
        {"no window", false, 0, 300, 0, true, {{90000, false, held}}},
        {"ignores", true, 0, never, 0, true, {{90000, true, held}}},
        {"keeps mutex",
         true,
         0,
         300,
         700,
         true,
         {{1300, false, held}, {1999, false, held}, {2000, false, released}}},
        {"keeps mutex for ever", true, 0, 300, never, true, {{90000, false, held}}},
        {"abandons", true, 0, 300, 0, false, {{1299, true, held}, {1300, false, abandoned}}},
    };
    for (const auto& row : rows) {
        control::freshMachine(dir());
        control::ProgramBehaviour behaviour = control::trayCompanion();
        behaviour.windowTitles.resize(row.window ? 1 : 0);
        behaviour.windowAfterMs = row.windowAfterMs;
        behaviour.answerAfterMs = row.answerAfterMs;
        behaviour.mutexKeptMs = row.mutexKeptMs;
        behaviour.releasesMutex = row.releases;
        control::startProgram(kTray, behaviour);
        HANDLE mutex = CreateMutexA(nullptr, FALSE, "{3E71B0C2-5D4A-4F19-9C83-2A6B7E0D1F54}");
        EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError());
        for (const Probe& probe : row.probes) {
            if (control::clockMs() < 1000 && probe.atMs >= 1000) {
                Sleep(1000 - GetTickCount());
                PostMessageW(find(kTrayClass, nullptr), WM_USER + 2, 0, 0);
            }
            Sleep(static_cast<DWORD>(probe.atMs - control::clockMs()));
            const control::MutexState state = control::mutexes()[0];
            EXPECT_EQ(probe.window, find(kTrayClass, nullptr) != nullptr)
                << row.name << " at " << probe.atMs;
            EXPECT_EQ(probe.mutex == held ? 1000u : 0u, state.ownerPid)
                << row.name << " at " << probe.atMs;
            EXPECT_EQ(probe.mutex == abandoned, state.abandoned) << row.name;
        }
        CloseHandle(mutex);
    }
}

// The installer's way of closing the help: post SC_CLOSE to a match, wait 50 ms, look again.
// Each window closes 100 ms after its first close request; the viewer keeps its other window.
TEST_F(Programs, HelpViewerClosesEachWindowOnSysCommandClose) {
    control::startProgram(kHelp, control::helpViewer({"Folioscope Help", "Folioscope Help", "x"}));
    control::ProgramBehaviour stubborn = control::helpViewer({"Folioscope Help"});
    stubborn.answerAfterMs = control::kNever;
    while (HWND help = find("HH Parent", "Folioscope Help")) {
        PostMessageW(help, WM_SYSCOMMAND, SC_CLOSE, 0);
        Sleep(50);
    }
    EXPECT_EQ(200u, control::clockMs());
    const control::ProgramState viewer = control::programs()[0];
    EXPECT_TRUE(viewer.running);
    ASSERT_EQ(1u, viewer.windows.size());
    EXPECT_EQ("x", viewer.windows[0].title);
    EXPECT_EQ(4u, viewer.messages.at(WM_SYSCOMMAND));

    control::startProgram(kHelp, stubborn);
    PostMessageW(find("HH Parent", nullptr), WM_SYSCOMMAND, SC_CLOSE, 0);
    Sleep(60000);
    EXPECT_NE(nullptr, find("HH Parent", "Folioscope Help"));
}

} // namespace
