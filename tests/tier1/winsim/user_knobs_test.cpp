// Shift, the window station, refused boot-time deletions, and these knobs in a saved machine.
#include <windows.h>

#include <utility>

#include "files_boot_queue.h"
#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

namespace control = winsim::control;
using UserKnobs = MachineTest;

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
    } rows[] = {{false, true, 0}, {true, true, SHORT(-0x8000)}, {true, false, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &row - rows);
        control::setShiftHeld(row.shift);
        control::setWindowStationVisible(row.visible);
        EXPECT_EQ(row.key, GetAsyncKeyState(VK_SHIFT));
        EXPECT_EQ(0, GetAsyncKeyState('A'));
        USEROBJECTFLAGS flags = {};
        DWORD needed = 0xDEADBEEF;
        EXPECT_TRUE(GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags,
                                              sizeof flags, &needed));
        EXPECT_EQ(DWORD(row.visible ? WSF_VISIBLE : 0), flags.dwFlags);
        EXPECT_EQ(DWORD(sizeof flags), needed);
        EXPECT_EQ(IDOK, showLogDialog());
        EXPECT_EQ(row.visible, control::shownDialogs().back().stationVisible);
    }
}

TEST_F(UserKnobs, TooSmallABufferGetsOnlyTheSizeNeeded) {
    USEROBJECTFLAGS flags = {};
    flags.dwFlags = 0xDEADBEEF;
    DWORD needed = 0xDEADBEEF;
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags,
                                           sizeof flags - 1, &needed));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(DWORD(sizeof flags), needed);
    EXPECT_EQ(0xDEADBEEFu, flags.dwFlags);
}

// A refusal survives the saved machine; a rename of the refused file is no deletion.
TEST_F(UserKnobs, KnobsComeBackWithTheSavedMachine) {
    control::setDialogClose(control::DialogClose::Escape);
    control::setShiftHeld(true);
    control::refuseBootDeletion("C:\\Temp\\100%.dll", ERROR_SHARING_VIOLATION);
    control::refuseBootDeletion("C:\\Temp\\denied.dll");
    ASSERT_TRUE(control::saveMachine(dir()));
    control::freshMachine(dir() + "/elsewhere");
    ASSERT_TRUE(control::loadMachine(dir()));
    EXPECT_EQ(IDCANCEL, showLogDialog());
    EXPECT_EQ(SHORT(-0x8000), GetAsyncKeyState(VK_SHIFT));
    const std::pair<const char*, DWORD> refused[] = {
        {"c:\\temp\\x\\..\\100%.DLL", ERROR_SHARING_VIOLATION},
        {"C:\\Temp\\denied.dll", ERROR_ACCESS_DENIED}};
    for (const auto& path : refused) {
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(MoveFileExW(W(path.first), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
        EXPECT_EQ(path.second, GetLastError());
    }
    EXPECT_TRUE(winsim::queuedBootOperations().empty());
    EXPECT_TRUE(
        MoveFileExW(W("C:\\Temp\\100%.dll"), W("C:\\Temp\\kept.dll"), MOVEFILE_DELAY_UNTIL_REBOOT));
}

} // namespace
