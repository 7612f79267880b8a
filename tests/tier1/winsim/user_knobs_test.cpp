// Shift, the window station, refused boot-time deletions, and these knobs in a saved machine.
#include <windows.h>

#include <string>

#include "files_boot_queue.h"
#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

namespace control = winsim::control;
using control::DialogClose;
using UserKnobs = MachineTest;

DWORD stationFlags() {
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0xDEADBEEF;
    EXPECT_TRUE(GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags,
                                          sizeof flags, &needed));
    EXPECT_EQ(DWORD(sizeof flags), needed);
    return flags.dwFlags;
}

INT_PTR CALLBACK closingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND) {
        EndDialog(dialog, LOWORD(wParam));
    }
    return FALSE;
}

INT_PTR showLogDialog() {
    return DialogBoxParamW(static_cast<HINSTANCE>(control::programInstance()),
                           MAKEINTRESOURCEW(101), nullptr, closingProc, 0);
}

TEST_F(UserKnobs, ShiftReachesOnlyAProgramOnTheVisibleStation) {
    const struct {
        bool shift;
        bool visible;
        SHORT key;
        DWORD flags;
    } rows[] = {
        {false, true, 0, WSF_VISIBLE},
        {true, true, SHORT(-0x8000), WSF_VISIBLE},
        {true, false, 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.shift << row.visible);
        control::setShiftHeld(row.shift);
        control::setWindowStationVisible(row.visible);
        EXPECT_EQ(row.key, GetAsyncKeyState(VK_SHIFT));
        EXPECT_EQ(0, GetAsyncKeyState('A'));
        EXPECT_EQ(row.flags, stationFlags());
        EXPECT_EQ(IDOK, showLogDialog());
        EXPECT_EQ(row.visible, control::shownDialogs().back().stationVisible);
    }
}

TEST_F(UserKnobs, StationInformationRefusesWhatItCannotGive) {
    const struct {
        const char* name;
        HANDLE object;
        int index;
        DWORD length;
        DWORD error;
        DWORD needed;
    } rows[] = {
        {"short buffer", GetProcessWindowStation(), UOI_FLAGS, 11, ERROR_INSUFFICIENT_BUFFER, 12},
        {"name", GetProcessWindowStation(), 2, 12, ERROR_INVALID_PARAMETER, 0xDEADBEEF},
        {"no station", reinterpret_cast<HANDLE>(0x4), UOI_FLAGS, 12, ERROR_INVALID_HANDLE,
         0xDEADBEEF},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        USEROBJECTFLAGS flags = {};
        flags.dwFlags = 0xDEADBEEF;
        DWORD needed = 0xDEADBEEF;
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(GetUserObjectInformationW(row.object, row.index, &flags, row.length, &needed));
        EXPECT_EQ(row.error, GetLastError());
        EXPECT_EQ(row.needed, needed);
        EXPECT_EQ(0xDEADBEEFu, flags.dwFlags);
    }
}

BOOL scheduleDeletion(const char* path, const char* target = nullptr) {
    return MoveFileExW(W(path), target ? static_cast<LPCWSTR>(W(target)) : nullptr,
                       MOVEFILE_DELAY_UNTIL_REBOOT);
}

TEST_F(UserKnobs, ARefusedBootDeletionLeavesTheQueueAlone) {
    control::refuseBootDeletion("C:\\Temp\\Held.dll", ERROR_SHARING_VIOLATION);
    control::refuseBootDeletion("C:\\Temp\\denied.dll");
    const struct {
        const char* path;
        DWORD error;
    } rows[] = {{"c:\\temp\\x\\..\\HELD.dll", ERROR_SHARING_VIOLATION},
                {"C:\\Temp\\denied.dll", ERROR_ACCESS_DENIED}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(scheduleDeletion(row.path));
        EXPECT_EQ(row.error, GetLastError());
    }
    EXPECT_TRUE(winsim::queuedBootOperations().empty());
    EXPECT_TRUE(scheduleDeletion("C:\\Temp\\Held.dll", "C:\\Temp\\kept.dll")); // not a deletion
    EXPECT_EQ(1u, winsim::queuedBootOperations().size());
}

TEST_F(UserKnobs, KnobsComeBackWithTheSavedMachine) {
    control::setDialogClose(DialogClose::Escape);
    control::setShiftHeld(true);
    control::refuseBootDeletion("C:\\100% sure|not\\a.dll", 32); // no path: ignored
    control::refuseBootDeletion("C:\\Temp\\100%.dll", 32);
    ASSERT_TRUE(control::saveMachine(dir()));
    control::freshMachine(dir() + "/elsewhere");
    ASSERT_TRUE(control::loadMachine(dir()));
    EXPECT_EQ(IDCANCEL, showLogDialog());
    EXPECT_EQ(SHORT(-0x8000), GetAsyncKeyState(VK_SHIFT));
    EXPECT_FALSE(scheduleDeletion("C:\\Temp\\100%.dll"));
    EXPECT_EQ(32u, GetLastError());
    control::setWindowStationVisible(false);
    ASSERT_TRUE(control::saveMachine(dir()));
    control::freshMachine(dir() + "/elsewhere");
    ASSERT_TRUE(control::loadMachine(dir()));
    EXPECT_EQ(0u, stationFlags());
}

} // namespace
