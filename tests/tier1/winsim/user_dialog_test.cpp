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

INT_PTR showLogDialog(DLGPROC proc) {
    g_messages.clear();
    g_focus = 0;
    return DialogBoxParamW(program(), MAKEINTRESOURCEW(101), nullptr, proc, 0x5EED);
}

TEST_F(UserDialog, EachCloseReachesTheProcedureAsWindowsDeliversIt) {
    const struct {
        const char* name;
        DialogClose close;
        Ends ends;
        std::vector<std::string> messages;
        INT_PTR result;
        DialogClose closedBy;
    } rows[] = {
        {"button",
         DialogClose::CloseButton,
         Ends::OnCommand,
         {"command 1 button"},
         11,
         DialogClose::CloseButton},
        {"enter",
         DialogClose::Enter,
         Ends::OnCommand,
         {"command 1 button"},
         11,
         DialogClose::Enter},
        {"escape", DialogClose::Escape, Ends::OnCommand, {"command 2 0"}, 22, DialogClose::Escape},
        {"close box",
         DialogClose::CloseBox,
         Ends::OnCommand,
         {"syscommand f060 0", "close 0 0", "command 2 0"},
         22,
         DialogClose::CloseBox},
        {"close box handled",
         DialogClose::CloseBox,
         Ends::OnSysCommand,
         {"syscommand f060 0"},
         33,
         DialogClose::CloseBox},
        {"never ended",
         DialogClose::Escape,
         Ends::Never,
         {"command 2 0", "command 1 button", "command 1 button", "syscommand f060 0", "close 0 0",
          "command 2 0"},
         0,
         DialogClose::None},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        control::setDialogClose(row.close);
        g_ends = row.ends;
        EXPECT_EQ(row.result, showLogDialog(recordingProc));
        std::vector<std::string> expected = {"init button 5eed"};
        expected.insert(expected.end(), row.messages.begin(), row.messages.end());
        EXPECT_EQ(expected, g_messages);
        EXPECT_NE(0u, g_focus);
        const control::ShownDialog& shown = control::shownDialogs().back();
        EXPECT_EQ(row.closedBy, shown.closedBy);
        EXPECT_EQ(row.closedBy != DialogClose::None, shown.ended);
        EXPECT_EQ(row.result, shown.result);
    }
}

TEST_F(UserDialog, AMissingTemplateOrAnOwnerThatIsNoWindowShowsNothing) {
    const W byName("LOG");
    const struct {
        const char* name;
        HINSTANCE instance;
        LPCWSTR templateName;
        HWND owner;
        INT_PTR result;
        DWORD error;
    } rows[] = {
        {"other id", program(), MAKEINTRESOURCEW(102), nullptr, -1, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"by name", program(), byName, nullptr, -1, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"other module", reinterpret_cast<HINSTANCE>(0x180000000), MAKEINTRESOURCEW(101), nullptr,
         -1, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"owner", program(), MAKEINTRESOURCEW(101), reinterpret_cast<HWND>(0x1234), 0,
         ERROR_INVALID_WINDOW_HANDLE},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        g_messages.clear();
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(row.result,
                  DialogBoxParamW(row.instance, row.templateName, row.owner, recordingProc, 0));
        EXPECT_EQ(row.error, GetLastError());
        EXPECT_TRUE(g_messages.empty());
    }
    EXPECT_TRUE(control::shownDialogs().empty());
}

INT_PTR CALLBACK writingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        EXPECT_TRUE(SetDlgItemTextW(dialog, 1001, W("line 1\r\nline 2")));
        EXPECT_TRUE(SetWindowTextW(dialog, W("Caf\xC3\xA9 log.")));
        EXPECT_TRUE(SetWindowTextW(reinterpret_cast<HWND>(wParam), nullptr));
        for (HWND window : {dialog, reinterpret_cast<HWND>(wParam)}) {
            SetLastError(0xDEADBEEF);
            EXPECT_FALSE(SetDlgItemTextW(window, 7, W("x")));
            EXPECT_EQ(DWORD(ERROR_CONTROL_ID_NOT_FOUND), GetLastError());
        }
    }
    if (message == WM_COMMAND) {
        EndDialog(dialog, 1);
    }
    return FALSE;
}

TEST_F(UserDialog, RecordsWhatWasShownAndForgetsTheWindowOnceClosed) {
    control::setClockMs(4321);
    EXPECT_EQ(1, showLogDialog(writingProc));
    ASSERT_EQ(1u, control::shownDialogs().size());
    const control::ShownDialog& shown = control::shownDialogs().front();
    EXPECT_EQ(101, shown.templateId);
    EXPECT_EQ(nullptr, shown.owner);
    EXPECT_EQ("Caf\xC3\xA9 log.", shown.title);
    EXPECT_EQ((std::map<int, std::string>{{1, ""}, {1001, "line 1\r\nline 2"}}), shown.controls);
    EXPECT_TRUE(shown.stationVisible);
    EXPECT_EQ(4321u, shown.shownAtMs);
    HWND window = static_cast<HWND>(shown.window);
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(SetWindowTextW(window, W("late")));
    EXPECT_EQ(DWORD(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(EndDialog(window, 2));
    EXPECT_EQ(DWORD(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
}

} // namespace
