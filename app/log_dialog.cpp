#include "app/log_dialog.h"

#include "app/install_context.h"
#include "app/resource.h"
#include "log/format_text.h"
#include "log/wide_text.h"

void dialogTitle(const InstallContext& context, WCHAR* title) {
    formatText(title, kDialogTitleCapacity, L"Folioscope build %d- Install%s", kBuildNumber,
               context.errorCount != 0 ? L" error log!" : L" log.");
}

// Returning 0 from WM_INITDIALOG leaves the focus alone, so the log is not shown with all
// of its text selected. The caption's close box arrives as IDCANCEL, like Escape.
INT_PTR CALLBACK logDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const InstallContext& context = *reinterpret_cast<const InstallContext*>(lParam);
        SetDlgItemTextW(dialog, IDC_LOG_TEXT, textOf(context.logText));
        WCHAR title[kDialogTitleCapacity];
        dialogTitle(context, title);
        SetWindowTextW(dialog, title);
    } else if (message == WM_COMMAND) {
        if (LOWORD(wParam) == IDOK) {
            EndDialog(dialog, 1);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
        }
    }
    return 0;
}
