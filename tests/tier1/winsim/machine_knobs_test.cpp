// What only the simulated machine's knobs decide, which the conformance battery cannot show:
// Shift and the window station, the person who tries every close, what a dialog's record
// keeps, the images programs are mapped to, and these knobs in a saved machine.
#include <windows.h>

#include <utility>

#include "files_boot_queue.h"
#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

namespace control = winsim::control;
using control::DialogClose;
using Knobs = MachineTest;

bool endsDialog;
int commands;

INT_PTR CALLBACK closingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && ++commands && endsDialog) {
        EndDialog(dialog, LOWORD(wParam));
    }
    return FALSE;
}

INT_PTR showLogDialog() {
    commands = 0;
    return DialogBoxParamW(nullptr, MAKEINTRESOURCEW(101), nullptr, closingProc, 0);
}

// Shift reaches only a program on the visible station. A procedure that never ends the
// dialog is offered every other close (four commands in all), then let go with 0.
TEST_F(Knobs, ShiftTheStationAndThePersonShowInTheDialogsRecord) {
    const struct {
        bool shift, visible, ends;
        DialogClose close;
        SHORT key;
        INT_PTR result;
        int commands;
    } rows[] = {{true, true, true, DialogClose::Escape, SHORT(-0x8000), IDCANCEL, 1},
                {true, false, true, DialogClose::Escape, 0, IDCANCEL, 1},
                {false, true, false, DialogClose::CloseButton, 0, 0, 4}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &row - rows);
        control::setShiftHeld(row.shift);
        control::setWindowStationVisible(row.visible);
        control::setDialogClose(row.close);
        control::setClockMs(1234);
        endsDialog = row.ends;
        EXPECT_EQ(row.key, GetAsyncKeyState(VK_SHIFT));
        EXPECT_EQ(0, GetAsyncKeyState('A'));
        EXPECT_EQ(row.result, showLogDialog());
        EXPECT_EQ(row.commands, commands);
        const control::ShownDialog& shown = control::shownDialogs().back();
        EXPECT_EQ(row.visible, shown.stationVisible);
        EXPECT_EQ(row.ends ? row.close : DialogClose::None, shown.closedBy);
        EXPECT_EQ(1234u, shown.shownAtMs);
    }
}

// A behaviour mapped to the full path wins over one mapped to the file name.
TEST_F(Knobs, ImagesRunTheProgramsMappedToThem) {
    control::writeUnversionedPe("C:\\Data\\tool.exe", control::UnversionedPe::noResources);
    control::mapImage("tool.exe", control::ProgramBehaviour());
    control::mapImage("c:\\data\\TOOL.exe", control::trayCompanion());
    STARTUPINFOW startup = {};
    PROCESS_INFORMATION info = {};
    W line("C:\\Data\\tool.exe");
    ASSERT_TRUE(CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info));
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    EXPECT_EQ(control::ProgramKind::trayCompanion, control::programs()[0].kind);
}

// A refusal survives the saved machine; a rename of the refused file is no deletion.
TEST_F(Knobs, KnobsComeBackWithTheSavedMachine) {
    control::setDialogClose(DialogClose::Escape);
    control::setShiftHeld(true);
    control::refuseBootDeletion("C:\\Temp\\100%.dll", ERROR_SHARING_VIOLATION);
    control::refuseBootDeletion("C:\\Temp\\denied.dll");
    reload();
    endsDialog = true;
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
