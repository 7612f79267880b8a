#include "app/help_viewer.h"

#include <windows.h>

namespace {

const WCHAR kHelpClass[] = L"HH Parent";
const WCHAR kHelpTitle[] = L"Folioscope Help";
const int kCloseTries = 100;
const DWORD kClosePauseMs = 50;

} // namespace

void closeHelpViewer() {
    for (int tries = 0; tries < kCloseTries; ++tries) {
        HWND window = FindWindowW(kHelpClass, kHelpTitle);
        if (window == nullptr) {
            return;
        }
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        Sleep(kClosePauseMs);
    }
}
