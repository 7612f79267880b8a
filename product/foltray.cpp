// The product's tray companion, started at every logon. While it runs it owns the named
// mutex and a hidden top-level window of its own class, the two things the installer looks
// for; the message WM_USER + 2 to that window ends it, and it lets go of the mutex before
// the process ends so that the installer's wait returns WAIT_OBJECT_0. A second copy finds
// the mutex taken and leaves at once.
#include <windows.h>
#include <shellapi.h>

namespace {

const char kMutexName[] = "{3E71B0C2-5D4A-4F19-9C83-2A6B7E0D1F54}";
const WCHAR kWindowClass[] = L"fsp::{6C2F8A19-E4B7-4D03-A5E1-97B3C40D2E86}";
constexpr UINT kQuitMessage = WM_USER + 2;
constexpr UINT kIconId = 1;

UINT taskbarCreated;

// The icon is welcome, not needed: without a notification area the call fails and the
// companion runs on.
void showIcon(HWND window, DWORD action) {
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof(icon);
    icon.hWnd = window;
    icon.uID = kIconId;
    icon.uFlags = NIF_ICON | NIF_TIP;
    icon.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512)); // IDI_APPLICATION
    lstrcpynW(icon.szTip, L"Folioscope", ARRAYSIZE(icon.szTip));
    Shell_NotifyIconW(action, &icon);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kQuitMessage) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        showIcon(window, NIM_DELETE);
        PostQuitMessage(0);
        return 0;
    }
    if (message == taskbarCreated && taskbarCreated != 0) {
        showIcon(window, NIM_ADD); // the shell restarted and forgot the icon
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND createWindow(HINSTANCE instance) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassW(&windowClass) == 0) {
        return nullptr;
    }
    // Not a message-only window: FindWindowW sees top-level windows only.
    return CreateWindowExW(0, kWindowClass, L"Folioscope", WS_OVERLAPPED, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                           nullptr);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, kMutexName);
    if (mutex == nullptr) {
        return 1;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex); // another copy runs and owns it
        return 0;
    }
    taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    HWND window = createWindow(instance);
    int exitCode = 1;
    if (window != nullptr) {
        showIcon(window, NIM_ADD);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        exitCode = 0;
    }
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return exitCode;
}
