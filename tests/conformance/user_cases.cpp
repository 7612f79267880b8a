// The person at the machine: the keyboard, the window station's flags, the modal dialog 101
// (a "Close" default push button, id 1, then an edit box, id 1001) closed each way a person
// closes it, with the texts set while it shows; and last, where DLLs are loaded from.
#include "battery.h"

namespace conformance {

namespace {

// The template, the owner, how the person closes the dialog, and the message on which the
// procedure calls EndDialog.
const Row<WORD, HWND, Close, UINT> kDialogs[] = {
    {"dialog.refused.no-template", 102, nullptr, Close::button, WM_COMMAND},
    {"dialog.refused.owner-no-window", 101, reinterpret_cast<HWND>(0x10010), Close::button,
     WM_COMMAND},
    {"dialog.close.button", 101, nullptr, Close::button, WM_COMMAND},
    {"dialog.close.escape", 101, nullptr, Close::escape, WM_COMMAND},
    {"dialog.close.close-box", 101, nullptr, Close::closeBox, WM_COMMAND},
    {"dialog.close.close-box-handled", 101, nullptr, Close::closeBox, WM_SYSCOMMAND},
};

Close how;
UINT endsOn;
std::string received;
WPARAM focus;
HWND lastDialog;

// The button, which WM_INITDIALOG names as the control to get the focus, reads "button".
std::string word(ULONG_PTR value) {
    return value && value == focus ? "button" : hex(static_cast<DWORD>(value));
}

void record(const char* name, WPARAM wParam, LPARAM lParam) {
    received += std::string(received.empty() ? "" : ";") + name + " " + word(wParam) + " " +
                word(static_cast<ULONG_PTR>(lParam));
}

// Only what a close delivers is recorded: a real dialog also gets focus, paint and
// notification messages.
INT_PTR CALLBACK recordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        focus = wParam;
        record("init", wParam, lParam);
        if (!lastDialog) { // the texts while the first dialog shows
            CASE("dialog.text.item", "1001", SetDlgItemTextW(dialog, 1001, L"line 1\r\nline 2"),
                 flag);
            CASE("dialog.text.title", "", SetWindowTextW(dialog, L"Caf\u00e9 log."), flag);
            CASE("dialog.text.no-item", "7", SetDlgItemTextW(dialog, 7, L"x"), flag);
            CASE("dialog.is-window", "", IsWindow(dialog), flag);
            CASE("dialog.post", "WM_USER", PostMessageW(dialog, WM_USER, 0, 0), flag);
        }
        lastDialog = dialog;
        personCloses(dialog, reinterpret_cast<HWND>(wParam), how);
    } else if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        record("command", wParam, lParam);
        if (endsOn == WM_COMMAND) {
            EndDialog(dialog, LOWORD(wParam) == IDOK ? 11 : 22);
        }
    } else if ((message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) || message == WM_CLOSE) {
        record(message == WM_CLOSE ? "close" : "syscommand", wParam, lParam);
        if (endsOn == message) {
            EndDialog(dialog, 33);
            return TRUE;
        }
    }
    return FALSE;
}

std::string integer(INT_PTR value) {
    return std::to_string(static_cast<long long>(value));
}

} // namespace

void userCases() {
    CASE("key.shift", "VK_SHIFT", GetAsyncKeyState(VK_SHIFT), integer);
    CASE("key.letter", "A", GetAsyncKeyState('A'), integer);
    HWINSTA station = CASE("station.process", "", GetProcessWindowStation(), handle);
    for (DWORD size : {12u, 11u}) {
        USEROBJECTFLAGS flags = {0, 0, kPoison};
        DWORD needed = kPoison;
        CASE("station.flags." + std::to_string(size), num(size),
             GetUserObjectInformationW(station, UOI_FLAGS, &flags, size, &needed), flag,
             "flags=" + hex(flags.dwFlags) + " needed=" + num(needed));
    }
    for (const auto& [id, name, owner, closing, ending] : kDialogs) {
        how = closing;
        endsOn = ending;
        received.clear();
        CASE(id, num(name),
             DialogBoxParamW(nullptr, MAKEINTRESOURCEW(name), owner, recordingProc, 0x5EED),
             integer, "received=" + received);
    }
    CASE("dialog.closed.text", "", SetWindowTextW(lastDialog, L"late"), flag);
    CASE("dialog.closed.end", "", EndDialog(lastDialog, 2), flag);
    for (DWORD flags : {0x0u, 0x801u, 0x800u, 0x1200u}) {
        CASE("dll-directories." + hex(flags), hex(flags), SetDefaultDllDirectories(flags), flag);
    }
}

} // namespace conformance
