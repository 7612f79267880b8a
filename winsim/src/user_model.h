// The person at the simulated machine and what the program shows them: the keyboard, the
// window station the program runs on, and its modal dialogs. Dialogs live only as long as
// the process; the knobs are saved with the machine (state.txt).
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include <windows.h>

#include "winsim/control/user.h"

namespace winsim {

// A dialog between its creation and the return of DialogBoxParamW. The dialog and its
// controls take their handles from the kernel handle counter, so they never equal a file,
// mutex or process handle, nor the handle of another window drawn from it.
struct LiveDialog {
    HWND window = nullptr;
    std::vector<std::pair<int, HWND>> controls; // id and handle, in template order
    size_t record = 0;                          // index in UserSession::shown
    bool ended = false;
    INT_PTR result = 0;
};

struct UserSession {
    control::DialogClose close = control::DialogClose::CloseButton;
    bool shiftHeld = false;
    bool stationVisible = true;
    std::vector<control::ShownDialog> shown;
    std::vector<LiveDialog> live; // nested when a procedure shows a dialog of its own
};

UserSession& userSession();
// The live dialog whose own window is `window`, or null.
LiveDialog* liveDialog(HWND window);
// The control of the dialog with that id, or null (GetDlgItem).
HWND dialogItem(const LiveDialog& dialog, int id);

} // namespace winsim
