// Texts of the dialog windows: the title of a dialog and the text of each of its controls,
// kept in the dialog's record so that tests and tools read what the person saw.
#include <string>

#include "user_model.h"
#include "winsim/text.h"

namespace {

std::string* windowText(HWND window) {
    winsim::UserSession& session = winsim::userSession();
    for (winsim::LiveDialog& dialog : session.live) {
        winsim::control::ShownDialog& shown = session.shown[dialog.record];
        if (dialog.window == window) {
            return &shown.title;
        }
        for (const auto& control : dialog.controls) {
            if (control.second == window) {
                return &shown.controls[control.first];
            }
        }
    }
    return nullptr;
}

} // namespace

// A null text empties the window's text, as WM_SETTEXT does.
BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
    std::string* text = windowText(hWnd);
    if (!text) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *text = lpString ? winsim::toUtf8(lpString) : std::string();
    return TRUE;
}

// GetDlgItem, then SetWindowTextW. A control is a window too, but one without items.
BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
    if (!windowText(hDlg)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const winsim::LiveDialog* dialog = winsim::liveDialog(hDlg);
    const HWND item = dialog ? winsim::dialogItem(*dialog, nIDDlgItem) : nullptr;
    if (!item) {
        SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
        return FALSE;
    }
    return SetWindowTextW(item, lpString);
}
