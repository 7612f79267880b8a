// The battery as a Windows console program, for Wine (or Windows): it acts on the machine
// it runs on, which must hold C:\conf\bin with the stub DLLs and run it as
// C:\conf\conformance.exe. Its copies under other names are the other programs it meets.
#include <windows.h>

#include <cstring>
#include <initializer_list>

#include "battery.h"

namespace {

int windowsLeft = 0;
HANDLE heldMutex = nullptr;
bool releasesMutex = true;

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 2) { // the battery's quit message
        ReleaseMutex(releasesMutex ? heldMutex : nullptr);
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY && --windowsLeft == 0) {
        PostQuitMessage(0);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The mutex first: once its window shows, the part holds everything the battery looks for.
int actPart(const char* mutex, const char* windowClass, std::initializer_list<const char*> titles) {
    heldMutex = mutex ? CreateMutexA(nullptr, TRUE, mutex) : nullptr;
    WNDCLASSA type = {0,       windowProc, 0,       0,       GetModuleHandleA(nullptr),
                      nullptr, nullptr,    nullptr, nullptr, windowClass};
    RegisterClassA(&type);
    for (const char* title : titles) {
        windowsLeft += CreateWindowExA(0, windowClass, title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                       nullptr, nullptr, type.hInstance, nullptr) != nullptr;
    }
    MSG message;
    while (windowsLeft > 0 && GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    return 0;
}

} // namespace

void conformance::personCloses(HWND dialog, HWND button, Close how) {
    if (how == Close::button) {
        PostMessageW(button, BM_CLICK, 0, 0);
    } else if (how == Close::escape) {
        PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    } else {
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

int main() {
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    const char* name = std::strrchr(self, '\\') ? std::strrchr(self, '\\') + 1 : self;
    if (!lstrcmpiA(name, "conformance.exe")) {
        return conformance::runBattery();
    }
    if (!lstrcmpiA(name, CONF_TRAY)) {
        return actPart(CONF_TRAY_NAME, CONF_TRAY_NAME, {CONF_TRAY_TITLE});
    }
    if (!lstrcmpiA(name, CONF_QUITTER)) {
        releasesMutex = false;
        return actPart(CONF_QUITTER_NAME, CONF_QUITTER_NAME, {CONF_QUITTER_NAME});
    }
    if (!lstrcmpiA(name, CONF_VIEWER)) {
        return actPart(nullptr, CONF_VIEWER_CLASS, {CONF_HELP_TITLE, CONF_OTHER_TITLE});
    }
    return 0;
}
