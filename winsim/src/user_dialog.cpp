// Modal dialogs. The program's image holds one dialog template, the log dialog (101).
// DialogBoxParamW makes it, runs the program's own dialog procedure with the messages
// Windows sends, lets the simulated person close it the way the knob says, and records it.
#include "kernel_handles.h"
#include "machine.h"
#include "user_model.h"
#include "winsim/control.h"

namespace winsim {

UserSession& userSession() {
    static UserSession session;
    return session;
}

LiveDialog* liveDialog(HWND window) {
    for (LiveDialog& dialog : userSession().live) {
        if (dialog.window == window) {
            return &dialog;
        }
    }
    return nullptr;
}

HWND dialogItem(const LiveDialog& dialog, int id) {
    for (const auto& control : dialog.controls) {
        if (control.first == id) {
            return control.second;
        }
    }
    return nullptr;
}

} // namespace winsim

namespace {

using winsim::control::DialogClose;

const int kLogTemplate = 101;
const WPARAM kButtonClicked = 0; // BN_CLICKED, the high word of a button's WM_COMMAND

struct TemplateControl {
    int id;
    const char* text;
};

// The log dialog's controls in template order: the default push button, then the edit box.
const TemplateControl kLogControls[] = {{IDOK, "Close"}, {1001, ""}};

// A null instance means the program's own image. A template given by name is a pointer,
// never the small number 101.
bool hasTemplate(HINSTANCE instance, LPCWSTR name) {
    const HINSTANCE program = static_cast<HINSTANCE>(winsim::control::programInstance());
    return (!instance || instance == program) && reinterpret_cast<ULONG_PTR>(name) == kLogTemplate;
}

HWND newWindowHandle() {
    return static_cast<HWND>(winsim::newKernelHandle());
}

HWND createDialog(HWND owner) {
    winsim::UserSession& session = winsim::userSession();
    winsim::control::ShownDialog shown;
    winsim::LiveDialog live;
    shown.templateId = kLogTemplate;
    shown.owner = owner;
    shown.stationVisible = session.stationVisible;
    shown.shownAtMs = winsim::machine().clockMs;
    live.window = newWindowHandle();
    for (const TemplateControl& control : kLogControls) {
        shown.controls[control.id] = control.text;
        live.controls.push_back({control.id, newWindowHandle()});
    }
    shown.window = live.window;
    live.record = session.shown.size();
    session.shown.push_back(shown);
    session.live.push_back(live);
    return live.window;
}

// The default dialog procedure asks the program's procedure first; without one, nothing
// handles the message. The procedure may show dialogs of its own, so no reference into the
// session is held across a call.
INT_PTR send(DLGPROC proc, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(dialog, message, wParam, lParam) : FALSE;
}

bool ended(HWND dialog) {
    return winsim::liveDialog(dialog)->ended;
}

LPARAM itemParam(HWND dialog, int id) {
    return reinterpret_cast<LPARAM>(winsim::dialogItem(*winsim::liveDialog(dialog), id));
}

void deliverClose(DLGPROC proc, HWND dialog, DialogClose close) {
    switch (close) {
    case DialogClose::CloseButton:
    case DialogClose::Enter: // the dialog manager presses the default push button
        send(proc, dialog, WM_COMMAND, IDOK | kButtonClicked << 16, itemParam(dialog, IDOK));
        break;
    case DialogClose::Escape: // lParam would be control IDCANCEL, which this dialog lacks
        send(proc, dialog, WM_COMMAND, IDCANCEL, 0);
        break;
    case DialogClose::CloseBox:
        // Left to the dialog manager, SC_CLOSE becomes WM_CLOSE, and WM_CLOSE a posted
        // IDCANCEL, which a dialog that has ended meanwhile never receives.
        if (!send(proc, dialog, WM_SYSCOMMAND, SC_CLOSE, 0) &&
            !send(proc, dialog, WM_CLOSE, 0, 0) && !ended(dialog)) {
            send(proc, dialog, WM_COMMAND, IDCANCEL, 0);
        }
        break;
    case DialogClose::None:
        break;
    }
}

// The knob's way first. A person facing a dialog that will not close tries every other way;
// nobody at all (None) tries none.
std::vector<DialogClose> closeOrder(DialogClose first) {
    std::vector<DialogClose> order;
    if (first == DialogClose::None) {
        return order;
    }
    order.push_back(first);
    for (DialogClose close : {DialogClose::CloseButton, DialogClose::Enter, DialogClose::Escape,
                              DialogClose::CloseBox}) {
        if (close != first) {
            order.push_back(close);
        }
    }
    return order;
}

// A dialog nobody could end leaves its loop as on a quit message: with result 0.
INT_PTR destroyDialog(HWND dialog) {
    winsim::UserSession& session = winsim::userSession();
    winsim::LiveDialog* live = winsim::liveDialog(dialog);
    winsim::control::ShownDialog& shown = session.shown[live->record];
    shown.ended = live->ended;
    shown.result = live->ended ? live->result : 0;
    const INT_PTR result = shown.result;
    session.live.erase(session.live.begin() + (live - session.live.data()));
    return result;
}

} // namespace

// On a window station no one sees, Windows would wait for ever for a close that cannot
// come; the simulated person closes it all the same and the record says where it was.
INT_PTR WINAPI DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    if (!hasTemplate(hInstance, lpTemplateName)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    if (hWndParent && !IsWindow(hWndParent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0; // not -1: what the 16-bit ancestors of the call answered
    }
    const HWND dialog = createDialog(hWndParent);
    // wParam names the control to get the focus: the first with WS_TABSTOP, the button.
    send(lpDialogFunc, dialog, WM_INITDIALOG, static_cast<WPARAM>(itemParam(dialog, IDOK)),
         dwInitParam);
    for (DialogClose close : closeOrder(winsim::userSession().close)) {
        if (ended(dialog)) {
            break;
        }
        deliverClose(lpDialogFunc, dialog, close);
        if (ended(dialog)) {
            winsim::userSession().shown[winsim::liveDialog(dialog)->record].closedBy = close;
        }
    }
    return destroyDialog(dialog);
}

// The dialog closes once the message being handled returns; a second call changes the result.
BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
    winsim::LiveDialog* dialog = winsim::liveDialog(hDlg);
    if (!dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    dialog->ended = true;
    dialog->result = nResult;
    return TRUE;
}
