#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace winsim::control {

// How the person at the machine closes a modal dialog. Each reaches the dialog procedure as
// Windows delivers it: the "Close" button and Enter (the default push button) as WM_COMMAND
// IDOK from the button; Escape as WM_COMMAND IDCANCEL without a control; the caption's close
// box as WM_SYSCOMMAND SC_CLOSE, then WM_CLOSE, then WM_COMMAND IDCANCEL, each only when the
// procedure left the one before to the dialog manager (returned 0). When a procedure does
// not end the dialog, the other ways are tried in this order; when none ends it, the modal
// loop ends as on a quit message and DialogBoxParamW returns 0. None: nobody tries at all.
// A fresh machine's person uses the "Close" button.
enum class DialogClose { None, CloseButton, Enter, Escape, CloseBox };
void setDialogClose(DialogClose close);

// A modal dialog the program showed, from DialogBoxParamW to its return.
struct ShownDialog {
    int templateId = 0;
    void* owner = nullptr;
    void* window = nullptr; // the dialog's handle, invalid since it closed
    std::string title;
    std::map<int, std::string> controls;      // texts by control id
    bool stationVisible = true;               // false: shown where no one could see it
    bool ended = false;                       // the procedure called EndDialog
    DialogClose closedBy = DialogClose::None; // the way that made the procedure end it
    intptr_t result = 0;                      // what DialogBoxParamW returned
    uint64_t shownAtMs = 0;
};
// The dialogs of this run, oldest first; a fresh or loaded machine has none.
const std::vector<ShownDialog>& shownDialogs();

// GetAsyncKeyState(VK_SHIFT) reports the key down.
void setShiftHeld(bool held);
// false: the program runs on a window station no one sees (as a service does): its flags
// lack WSF_VISIBLE and no key press reaches it.
void setWindowStationVisible(bool visible);

// MoveFileExW(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT) fails with `error` and leaves the
// registry untouched; error 0 lifts the refusal.
void refuseBootDeletion(const std::string& windowsPath, uint32_t error = 5);

} // namespace winsim::control
