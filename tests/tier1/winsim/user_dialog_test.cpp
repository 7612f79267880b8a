// Modal dialogs: the messages each close delivers, the refusals, and what a dialog records.
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

namespace control = winsim::control;
using control::DialogClose;
using UserDialog = MachineTest;

enum class Ends { Never, OnCommand, OnSysCommand };

std::vector<std::string> g_messages;
WPARAM g_focus;
Ends g_ends;

// The button's handle, which WM_INITDIALOG names as the focus, reads "button".
std::string word(ULONG_PTR value) {
    char text[24];
    std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(value));
    return g_focus && value == g_focus ? "button" : text;
}

std::string describe(UINT message, WPARAM wParam, LPARAM lParam) {
    const char* name = message == WM_INITDIALOG   ? "init"
                       : message == WM_COMMAND    ? "command"
                       : message == WM_SYSCOMMAND ? "syscommand"
                       : message == WM_CLOSE      ? "close"
                                                  : "other";
    return std::string(name) + " " + word(wParam) + " " + word(static_cast<ULONG_PTR>(lParam));
}

INT_PTR CALLBACK recordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        g_focus = wParam;
        SetDlgItemTextW(dialog, 1001, W("line 1\r\nline 2"));
        SetWindowTextW(dialog, W("Caf\xC3\xA9 log."));
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(SetDlgItemTextW(dialog, 7, W("x")));
        EXPECT_EQ(DWORD(ERROR_CONTROL_ID_NOT_FOUND), GetLastError());
    }
    g_messages.push_back(describe(message, wParam, lParam));
    if (message == WM_COMMAND && g_ends == Ends::OnCommand) {
        EndDialog(dialog, LOWORD(wParam) == IDOK ? 11 : 22);
    }
    if (message == WM_SYSCOMMAND && g_ends == Ends::OnSysCommand) {
        EndDialog(dialog, 33);
        return TRUE;
    }
    return FALSE;
}

HINSTANCE program() {
    return static_cast<HINSTANCE>(control::programInstance());
}

INT_PTR showLogDialog() {
    g_messages.clear();
    g_focus = 0;
    return DialogBoxParamW(program(), MAKEINTRESOURCEW(101), nullptr, recordingProc, 0x5EED);
}

// A procedure that never ends the dialog is offered every other close, then let go.
TEST_F(UserDialog, EachCloseReachesTheProcedureAsWindowsDeliversIt) {
    const std::string button = "command 1 button", cancel = "command 2 0";
    const std::string sysClose = "syscommand f060 0", close = "close 0 0";
    const struct {
        DialogClose close;
        Ends ends;
        std::vector<std::string> messages;
        INT_PTR result;
    } rows[] = {
        {DialogClose::CloseButton, Ends::OnCommand, {button}, 11},
        {DialogClose::Enter, Ends::OnCommand, {button}, 11},
        {DialogClose::Escape, Ends::OnCommand, {cancel}, 22},
        {DialogClose::CloseBox, Ends::OnCommand, {sysClose, close, cancel}, 22},
        {DialogClose::CloseBox, Ends::OnSysCommand, {sysClose}, 33},
        {DialogClose::Escape, Ends::Never, {cancel, button, button, sysClose, close, cancel}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &row - rows);
        control::setDialogClose(row.close);
        g_ends = row.ends;
        EXPECT_EQ(row.result, showLogDialog());
        std::vector<std::string> expected = {"init button 5eed"};
        expected.insert(expected.end(), row.messages.begin(), row.messages.end());
        EXPECT_EQ(expected, g_messages);
        const control::ShownDialog& shown = control::shownDialogs().back();
        EXPECT_EQ(row.result ? row.close : DialogClose::None, shown.closedBy);
        EXPECT_EQ(row.result != 0, shown.ended);
        EXPECT_EQ(row.result, shown.result);
    }
}

TEST_F(UserDialog, AMissingTemplateOrAnOwnerThatIsNoWindowShowsNothing) {
    const struct {
        WORD id;
        HWND owner;
        INT_PTR result;
        DWORD error;
    } rows[] = {
        {102, nullptr, -1, ERROR_RESOURCE_NAME_NOT_FOUND},
        {101, reinterpret_cast<HWND>(0x1234), 0, ERROR_INVALID_WINDOW_HANDLE},
    };
    for (const auto& row : rows) {
        g_messages.clear();
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(row.result, DialogBoxParamW(program(), MAKEINTRESOURCEW(row.id), row.owner,
                                              recordingProc, 0));
        EXPECT_EQ(row.error, GetLastError());
        EXPECT_TRUE(g_messages.empty());
    }
    EXPECT_TRUE(control::shownDialogs().empty());
}

TEST_F(UserDialog, RecordsWhatWasShownAndForgetsTheWindowOnceClosed) {
    control::setClockMs(4321);
    g_ends = Ends::OnCommand;
    EXPECT_EQ(11, showLogDialog());
    ASSERT_EQ(1u, control::shownDialogs().size());
    const control::ShownDialog& shown = control::shownDialogs().front();
    EXPECT_EQ(101, shown.templateId);
    EXPECT_EQ(nullptr, shown.owner);
    EXPECT_EQ("Caf\xC3\xA9 log.", shown.title);
    EXPECT_EQ((std::map<int, std::string>{{1, "Close"}, {1001, "line 1\r\nline 2"}}),
              shown.controls);
    EXPECT_EQ(4321u, shown.shownAtMs);
    const HWND window = static_cast<HWND>(shown.window);
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(SetWindowTextW(window, W("late")) || EndDialog(window, 2));
    EXPECT_EQ(DWORD(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
}

} // namespace
