// Top-level windows of the other programs, and messages posted to them. Windows are stacked
// newest on top, so FindWindowW answers with the most recently opened match.
#include "machine.h"
#include "programs_model.h"
#include "user_model.h"
#include "winsim/text.h"

namespace winsim {

const Window* Programs::window(HWND hwnd) const {
    for (const Window& window : windows_) {
        if (window.hwnd == reinterpret_cast<uintptr_t>(hwnd)) {
            return &window;
        }
    }
    return nullptr;
}

} // namespace winsim

namespace {

// The installer's own dialog and its controls are windows too, while the dialog is shown.
bool isDialogWindow(HWND hwnd) {
    for (const winsim::LiveDialog& dialog : winsim::userSession().live) {
        if (dialog.window == hwnd) {
            return true;
        }
        for (const auto& control : dialog.controls) {
            if (control.second == hwnd) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

// Class and title both match without regard to case; a missing one matches any window.
// Finding nothing leaves the last error as it was.
HWND WINAPI FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName) {
    const std::string className = lpClassName ? winsim::toUtf8(lpClassName) : "";
    const std::string title = lpWindowName ? winsim::toUtf8(lpWindowName) : "";
    const std::vector<winsim::Window>& windows = winsim::machine().programs.windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if ((!lpClassName || winsim::sameNameIgnoringCase(it->className, className)) &&
            (!lpWindowName || winsim::sameNameIgnoringCase(it->title, title))) {
            return reinterpret_cast<HWND>(it->hwnd);
        }
    }
    return nullptr;
}

BOOL WINAPI IsWindow(HWND hWnd) {
    return winsim::machine().programs.window(hWnd) || isDialogWindow(hWnd) ? TRUE : FALSE;
}

// A null window posts to the installer's own thread, as does a window of its dialog; nothing
// in the simulation reads that queue. Any other message goes to the program that owns the
// window, which answers later.
BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    if (!hWnd || isDialogWindow(hWnd)) {
        return TRUE;
    }
    winsim::Programs& programs = winsim::machine().programs;
    const winsim::Window* window = programs.window(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    programs.deliver(winsim::Window(*window), Msg, wParam);
    return TRUE;
}
