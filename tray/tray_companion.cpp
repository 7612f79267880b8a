#include "tray/tray_companion.h"

#include "log/text_utils.h"
#include "log/wide_text.h"

namespace {

const char kMutexName[] = "{3E71B0C2-5D4A-4F19-9C83-2A6B7E0D1F54}";
const WCHAR kWindowClass[] = L"fsp::{6C2F8A19-E4B7-4D03-A5E1-97B3C40D2E86}";
const char kExecutableName[] = "foltray.exe";
const WCHAR kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const WCHAR kRunValue[] = L"FolioscopeTray";
const char kRunValueAnsi[] = "FolioscopeTray";
const UINT kQuitMessage = WM_USER + 2;

const int kQuitTries = 20;
const DWORD kQuitWaitMs = 5000;
const DWORD kNoWindowPauseMs = 250;
const DWORD kMissingValuePauseMs = 1000;
const int kDeleteTries = 10;
const DWORD kAccessDeniedPauseMs = 100;
const DWORD kOtherErrorPauseMs = 10;

const size_t kPathCapacity = 264;
// The command line carries at most this much of the path, between two quotes.
const size_t kCommandPathLimit = 259;

bool endsInSeparator(WideText text) {
    size_t length = lengthOf(text);
    WCHAR last = length > 0 ? textOf(text)[length - 1] : L'\0';
    return last == L'\\' || last == L'/';
}

bool startsCompanions() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           version.dwMajorVersion >= 6;
}

void registerForLogon(const WCHAR* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return;
    }
    DWORD bytes = static_cast<DWORD>((textLength(path) + 1) * sizeof(WCHAR));
    RegSetValueExW(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path), bytes);
    RegCloseKey(key);
}

void startCompanion(const WCHAR* path) {
    WCHAR commandLine[kCommandPathLimit + 3] = {};
    commandLine[0] = L'"';
    copyText(commandLine + 1, kCommandPathLimit + 1, path);
    size_t length = textLength(commandLine);
    commandLine[length] = L'"';
    commandLine[length + 1] = L'\0';
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                       nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
}

// The companion quits on its message and lets go of the mutex; one that shows no window
// yet gets 20 short pauses, one that never lets go about 105 s in all.
void askCompanionToQuit(HANDLE mutex) {
    bool posted = false;
    for (int tries = 0;;) {
        HWND window = FindWindowW(kWindowClass, nullptr);
        if (window != nullptr) {
            PostMessageW(window, kQuitMessage, 0, 0);
            posted = true;
            if (WaitForSingleObject(mutex, kQuitWaitMs) == WAIT_OBJECT_0) {
                return;
            }
        } else if (posted) {
            WaitForSingleObject(mutex, kQuitWaitMs);
            return;
        } else {
            Sleep(kNoWindowPauseMs);
        }
        if (++tries == kQuitTries) {
            if (posted) {
                WaitForSingleObject(mutex, kQuitWaitMs);
            }
            return;
        }
    }
}

// The value is read whole or not at all: a path cut to the buffer would name another file.
bool readRegisteredPath(HKEY key, WCHAR* path) {
    path[0] = L'\0';
    DWORD bytes = kPathCapacity * sizeof(WCHAR);
    if (RegQueryValueExW(key, kRunValue, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &bytes) !=
        ERROR_SUCCESS) {
        return false;
    }
    size_t characters = bytes / sizeof(WCHAR);
    if (characters == kPathCapacity && path[kPathCapacity - 1] != L'\0') {
        path[0] = L'\0';
        return false;
    }
    path[characters < kPathCapacity ? characters : kPathCapacity - 1] = L'\0';
    return true;
}

// The companion's process may still hold its executable for a moment after it ended.
void deleteExecutable(const WCHAR* path) {
    for (int tries = 0; tries < kDeleteTries; ++tries) {
        if (DeleteFileW(path)) {
            return;
        }
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            return;
        }
        Sleep(error == ERROR_ACCESS_DENIED ? kAccessDeniedPauseMs : kOtherErrorPauseMs);
    }
}

void removeRegisteredExecutable(HKEY key, const WCHAR* keptExecutable) {
    WCHAR path[kPathCapacity];
    if (!readRegisteredPath(key, path)) {
        Sleep(kMissingValuePauseMs);
        return;
    }
    bool kept = keptExecutable != nullptr && compareIgnoringCase(path, keptExecutable) == 0;
    if (path[0] != L'\0' && !kept) {
        deleteExecutable(path);
    }
}

} // namespace

WideText companionToStart(const InstallContext& context) {
    if (!startsCompanions()) {
        return nullptr;
    }
    WideText installer = nullptr;
    assign(installer, textOf(context.programDir));
    if (endsInSeparator(installer)) {
        setLength(installer, lengthOf(installer) - 1);
    }
    WideText path = directoryOf(installer);
    release(installer);
    if (path != nullptr && !endsInSeparator(path)) {
        append(path, L"\\");
    }
    WideText name = fromAnsi(kExecutableName);
    append(path, textOf(name));
    release(name);
    return path;
}

void startTrayCompanion(const InstallContext& context) {
    WideText path = companionToStart(context);
    if (path == nullptr) {
        return;
    }
    registerForLogon(textOf(path));
    startCompanion(textOf(path));
    release(path);
}

void stopTrayCompanion(const WCHAR* keptExecutable) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutexName);
    if (mutex != nullptr) {
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            askCompanionToQuit(mutex);
        }
        CloseHandle(mutex);
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return;
    }
    if (mutex != nullptr) {
        removeRegisteredExecutable(key, keptExecutable);
    }
    RegDeleteValueA(key, kRunValueAnsi);
    RegCloseKey(key);
}
