// Reads back, inside a Wine prefix, what the installer left there, for the tier-2 harness:
//   prefix_check state        the product's spooler objects, every printer, the default
//                             printer, the logon value, the companion's mutex and the
//                             boot-time rename queue, one line each
//   prefix_check dialog       waits for the installer's log dialog, prints its title and the
//                             text of its edit control
//   prefix_check escape       presses Escape in that dialog and waits until it is gone
//   prefix_check owner        shows a window to own the dialog, prints its handle in
//                             decimal and runs until the window is closed (at most 60 s)
//   prefix_check defer PATH   queues PATH for deletion at the next boot
// Exit code 0, or 1 when a step failed (no dialog, a refused call).
#include <windows.h>
#include <winspool.h>

#include <cstdio>

namespace {

const WCHAR kDialogTitle[] = L"Folioscope build 2060- Install";
const int kEditControl = 1001;
const WCHAR kOwnerClass[] = L"prefix_check owner";

// Some spooler answer of variable size, fetched the two-call way; null when there is none.
template <typename Query> BYTE* fetch(Query query, DWORD* count) {
    DWORD needed = 0;
    *count = 0;
    query(nullptr, 0, &needed, count);
    BYTE* buffer = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed + 2));
    if (buffer != nullptr && !query(buffer, needed, &needed, count)) {
        *count = 0;
    }
    return buffer;
}

const WCHAR* orEmpty(const WCHAR* text) {
    return text != nullptr ? text : L"";
}

void printMonitors() {
    DWORD count = 0;
    BYTE* buffer = fetch([](BYTE* b, DWORD size, DWORD* needed,
                            DWORD* n) { return EnumMonitorsW(nullptr, 2, b, size, needed, n); },
                         &count);
    for (DWORD i = 0; i < count; ++i) {
        const MONITOR_INFO_2W& monitor = reinterpret_cast<MONITOR_INFO_2W*>(buffer)[i];
        if (lstrcmpW(monitor.pName, L"Folioscope:") == 0) {
            std::printf("monitor %ls %ls\n", monitor.pName, orEmpty(monitor.pDLLName));
        }
    }
    HeapFree(GetProcessHeap(), 0, buffer);
}

void printDrivers() {
    DWORD count = 0;
    BYTE* buffer = fetch(
        [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
            return EnumPrinterDriversW(nullptr, const_cast<LPWSTR>(L"Windows x64"), 3, b, size,
                                       needed, n);
        },
        &count);
    for (DWORD i = 0; i < count; ++i) {
        const DRIVER_INFO_3W& driver = reinterpret_cast<DRIVER_INFO_3W*>(buffer)[i];
        std::printf("driver %ls v%lu %ls | %ls | %ls | %ls\n", driver.pName, driver.cVersion,
                    orEmpty(driver.pDriverPath), orEmpty(driver.pConfigFile),
                    orEmpty(driver.pDataFile), orEmpty(driver.pHelpFile));
    }
    HeapFree(GetProcessHeap(), 0, buffer);
}

// The printer's "SubKey" and whether it opens at all: Wine keeps printers it cannot open.
void printPrinterData(const WCHAR* name) {
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(name), &handle, nullptr)) {
        std::printf("  opens: no (error %lu)\n", GetLastError());
        return;
    }
    char subKey[64] = {};
    DWORD type = 0, size = 0;
    DWORD result = GetPrinterDataA(handle, const_cast<LPSTR>("SubKey"), &type,
                                   reinterpret_cast<BYTE*>(subKey), sizeof(subKey) - 1, &size);
    std::printf("  opens: yes, SubKey: %s\n", result == ERROR_SUCCESS ? subKey : "none");
    ClosePrinter(handle);
}

void printPrinters() {
    DWORD count = 0;
    BYTE* buffer = fetch(
        [](BYTE* b, DWORD size, DWORD* needed, DWORD* n) {
            return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, b, size, needed, n);
        },
        &count);
    for (DWORD i = 0; i < count; ++i) {
        const PRINTER_INFO_2W& printer = reinterpret_cast<PRINTER_INFO_2W*>(buffer)[i];
        std::printf("printer %ls | port %ls | driver %ls | datatype %ls | comment %ls | "
                    "location %ls\n",
                    printer.pPrinterName, orEmpty(printer.pPortName), orEmpty(printer.pDriverName),
                    orEmpty(printer.pDatatype), orEmpty(printer.pComment),
                    orEmpty(printer.pLocation));
        printPrinterData(printer.pPrinterName);
    }
    HeapFree(GetProcessHeap(), 0, buffer);
    WCHAR name[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    std::printf("default %ls\n", GetDefaultPrinterW(name, &size) ? name : L"none");
}

void printRegistryText(const WCHAR* key, const WCHAR* value, const char* label) {
    WCHAR data[2048] = {};
    DWORD size = sizeof(data) - sizeof(WCHAR);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, value, RRF_RT_REG_SZ | RRF_RT_REG_MULTI_SZ, nullptr,
                     data, &size) != ERROR_SUCCESS) {
        std::printf("%s none\n", label);
        return;
    }
    // A multi-string's parts are shown one after another, each closed by "|".
    for (DWORD i = 0; i + 1 < size / sizeof(WCHAR); ++i) {
        data[i] = data[i] == L'\0' ? L'|' : data[i];
    }
    std::printf("%s %ls\n", label, data);
}

void printTray() {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, "{3E71B0C2-5D4A-4F19-9C83-2A6B7E0D1F54}");
    bool running = mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    std::printf("companion %s\n", running ? "running" : "not running");
    CloseHandle(mutex);
}

void printState() {
    printMonitors();
    printDrivers();
    printPrinters();
    printRegistryText(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", L"FolioscopeTray",
                      "logon");
    printTray();
    printRegistryText(L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                      L"PendingFileRenameOperations", "boot queue");
}

BOOL CALLBACK matchDialog(HWND window, LPARAM found) {
    WCHAR title[64] = {};
    GetWindowTextW(window, title, 64);
    if (CompareStringOrdinal(title, lstrlenW(kDialogTitle), kDialogTitle, -1, FALSE) ==
        CSTR_EQUAL) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND findDialog(int tenthsOfSeconds) {
    HWND dialog = nullptr;
    for (int i = 0; dialog == nullptr && i < tenthsOfSeconds; ++i) {
        EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog == nullptr) {
            Sleep(100);
        }
    }
    return dialog;
}

// The edit control belongs to the installer's process: its text comes by WM_GETTEXT.
bool printDialog() {
    HWND dialog = findDialog(600);
    if (dialog == nullptr) {
        std::printf("no log dialog within 60 s\n");
        return false;
    }
    WCHAR title[264] = {};
    GetWindowTextW(dialog, title, 264);
    HWND edit = GetDlgItem(dialog, kEditControl);
    LRESULT length = SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0);
    WCHAR* text = static_cast<WCHAR*>(HeapAlloc(GetProcessHeap(), 0, (length + 1) * 2));
    SendMessageW(edit, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text));
    WCHAR owner[64] = L"none";
    GetClassNameW(GetWindow(dialog, GW_OWNER), owner, 64);
    std::printf("title: %ls\nowner: %ls\n%ls", title, owner, text);
    HeapFree(GetProcessHeap(), 0, text);
    return true;
}

// The key goes through the dialog's own message loop, as a key press would.
bool pressEscape() {
    HWND dialog = findDialog(50);
    if (dialog == nullptr || !PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0)) {
        std::printf("no log dialog to close\n");
        return false;
    }
    for (int i = 0; i < 50 && IsWindow(dialog); ++i) {
        Sleep(100);
    }
    std::printf(IsWindow(dialog) ? "the dialog stays after Escape\n" : "dialog closed\n");
    PostMessageW(FindWindowW(kOwnerClass, nullptr), WM_CLOSE, 0, 0);
    return !IsWindow(dialog);
}

// The owner's thread answers the dialog's messages to it, so it keeps pumping.
void runOwner() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = [](HWND window, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message == WM_DESTROY || message == WM_TIMER) {
            PostQuitMessage(0);
        }
        return DefWindowProcW(window, message, w, l);
    };
    windowClass.lpszClassName = kOwnerClass;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, kOwnerClass, L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  300, 120, nullptr, nullptr, nullptr, nullptr);
    std::printf("%ld\n", static_cast<long>(reinterpret_cast<LONG_PTR>(window)));
    std::fflush(stdout);
    SetTimer(window, 1, 60000, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const WCHAR* command = argc >= 2 ? argv[1] : L"";
    bool passed = true;
    if (lstrcmpW(command, L"state") == 0) {
        printState();
    } else if (lstrcmpW(command, L"dialog") == 0) {
        passed = printDialog();
    } else if (lstrcmpW(command, L"escape") == 0) {
        passed = pressEscape();
    } else if (lstrcmpW(command, L"owner") == 0) {
        runOwner();
    } else if (lstrcmpW(command, L"defer") == 0 && argc == 3) {
        passed = MoveFileExW(argv[2], nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
    } else {
        std::printf("usage: prefix_check state | dialog | escape | owner | defer PATH\n");
        return 2;
    }
    return passed ? 0 : 1;
}
