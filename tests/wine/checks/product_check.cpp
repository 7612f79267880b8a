// Checks the product files the way the installer and the spooler use them, on Windows or
// under Wine, one group of steps per command word:
//   product_check monitor DLL  copies the monitor DLL into the system directory, adds the
//                              monitor "Folioscope:", finds it and its port, removes it
//   product_check driver DIR   stages the driver files found in DIR, adds the driver and a
//                              printer that uses it, asks for the printer's default settings
//                              (the driver UI DLL answers), removes both
//   product_check tray EXE     starts the tray companion, finds its mutex and its window,
//                              sees a second copy leave, asks it to quit, waits for the mutex
// Every step prints one line; exit code 0 when all passed, 1 when one failed, 2 on a bad
// command line. Under Wine the spooler runs inside this process, so a DLL that crashes its
// caller ends this program. The spooler calls the installer makes go through the installer's
// own loader (app/windows/system_dlls.cpp), so they check it too: with winspool.drv
// disabled (WINEDLLOVERRIDES=winspool.drv=d) each step fails with the load's error.
#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <cwchar>

namespace {

WCHAR kMonitorName[] = L"Folioscope:";
WCHAR kEnvironment[] = L"Windows x64";
WCHAR kDriverName[] = L"Folioscope printer";
WCHAR kPrinterName[] = L"Folioscope check";
WCHAR kFilePort[] = L"FILE:";
WCHAR kPrintProcessor[] = L"WinPrint";
WCHAR kDatatype[] = L"RAW";
const char kTrayMutex[] = "{3E71B0C2-5D4A-4F19-9C83-2A6B7E0D1F54}";
const WCHAR kTrayClass[] = L"fsp::{6C2F8A19-E4B7-4D03-A5E1-97B3C40D2E86}";

int failures = 0;

// The two calls the installer never makes, taken from the system's spooler client.
template <typename Function> Function spoolerExport(const char* name) {
    HMODULE spooler = LoadLibraryExW(L"winspool.drv", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    FARPROC address = spooler != nullptr ? GetProcAddress(spooler, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

// Reads the last error first, so pass the call's result straight in.
bool check(bool passed, const char* step) {
    DWORD error = GetLastError();
    if (passed) {
        std::printf("ok: %s\n", step);
    } else {
        std::printf("FAILED: %s (error %lu)\n", step, error);
        ++failures;
    }
    return passed;
}

bool copyInto(const WCHAR* directory, const WCHAR* source, const WCHAR* fileName, WCHAR* target) {
    std::swprintf(target, MAX_PATH, L"%ls\\%ls", directory, fileName);
    return CopyFileW(source, target, FALSE) != FALSE;
}

// Some spooler answer of variable size, fetched the two-call way; null when there is none.
template <typename Query> BYTE* fetch(Query query, DWORD* count) {
    DWORD needed = 0;
    *count = 0;
    query(nullptr, 0, &needed, count);
    BYTE* buffer = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, needed + 1));
    if (buffer != nullptr && !query(buffer, needed, &needed, count)) {
        HeapFree(GetProcessHeap(), 0, buffer);
        return nullptr;
    }
    return buffer;
}

bool monitorListed() {
    DWORD count = 0;
    BYTE* buffer = fetch([](BYTE* b, DWORD size, DWORD* needed,
                            DWORD* n) { return EnumMonitorsW(nullptr, 2, b, size, needed, n); },
                         &count);
    bool found = false;
    for (DWORD i = 0; buffer != nullptr && i < count; ++i) {
        found = found ||
                lstrcmpW(reinterpret_cast<MONITOR_INFO_2W*>(buffer)[i].pName, kMonitorName) == 0;
    }
    HeapFree(GetProcessHeap(), 0, buffer);
    return found;
}

// The port is enumerated by the monitor DLL itself.
bool portListed() {
    static auto enumPorts = spoolerExport<decltype(&EnumPortsW)>("EnumPortsW");
    if (enumPorts == nullptr) {
        return false;
    }
    DWORD count = 0;
    BYTE* buffer = fetch([](BYTE* b, DWORD size, DWORD* needed,
                            DWORD* n) { return enumPorts(nullptr, 2, b, size, needed, n); },
                         &count);
    bool found = false;
    for (DWORD i = 0; buffer != nullptr && i < count; ++i) {
        const PORT_INFO_2W& port = reinterpret_cast<PORT_INFO_2W*>(buffer)[i];
        found = found || (lstrcmpW(port.pPortName, kMonitorName) == 0 && port.pMonitorName &&
                          lstrcmpW(port.pMonitorName, kMonitorName) == 0);
    }
    HeapFree(GetProcessHeap(), 0, buffer);
    return found;
}

void checkMonitor(const WCHAR* dll) {
    WCHAR systemDir[MAX_PATH], target[MAX_PATH];
    GetSystemDirectoryW(systemDir, MAX_PATH);
    if (!check(copyInto(systemDir, dll, L"orvmon64.dll", target), "monitor DLL copied")) {
        return;
    }
    MONITOR_INFO_2W info = {kMonitorName, kEnvironment, const_cast<LPWSTR>(L"orvmon64.dll")};
    if (!check(AddMonitorW(nullptr, 2, reinterpret_cast<BYTE*>(&info)), "AddMonitorW")) {
        return;
    }
    check(monitorListed(), "EnumMonitorsW lists Folioscope:");
    check(portListed(), "EnumPortsW lists the port Folioscope: of the monitor");
    check(!AddMonitorW(nullptr, 2, reinterpret_cast<BYTE*>(&info)) &&
              GetLastError() == ERROR_PRINT_MONITOR_ALREADY_INSTALLED,
          "a second AddMonitorW fails with 3006");
    check(DeleteMonitorW(nullptr, kEnvironment, kMonitorName), "DeleteMonitorW");
}

bool stageDriverFiles(const WCHAR* from, WCHAR (*staged)[MAX_PATH]) {
    WCHAR driverDir[MAX_PATH];
    DWORD needed = 0;
    if (!check(GetPrinterDriverDirectoryW(nullptr, kEnvironment, 1,
                                          reinterpret_cast<BYTE*>(driverDir), sizeof(driverDir),
                                          &needed),
               "GetPrinterDriverDirectoryW")) {
        return false;
    }
    const WCHAR* const names[] = {L"orvdrv64.dll", L"orvui64.dll", L"orvhelp.chm"};
    for (int i = 0; i < 3; ++i) {
        WCHAR source[MAX_PATH];
        std::swprintf(source, MAX_PATH, L"%ls\\%ls", from, names[i]);
        if (!check(copyInto(driverDir, source, names[i], staged[i]), "driver file staged")) {
            return false;
        }
    }
    return true;
}

// Adding the printer makes the spooler load the UI DLL; the default settings come from it.
void checkPrinter() {
    PRINTER_INFO_2W printer = {};
    printer.pPrinterName = kPrinterName;
    printer.pPortName = kFilePort;
    printer.pDriverName = kDriverName;
    printer.pPrintProcessor = kPrintProcessor;
    printer.pDatatype = kDatatype;
    HANDLE handle = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
    if (!check(handle != nullptr, "AddPrinterW on the driver")) {
        return;
    }
    auto documentProperties = spoolerExport<decltype(&DocumentPropertiesW)>("DocumentPropertiesW");
    if (!check(documentProperties != nullptr, "DocumentPropertiesW found")) {
        return;
    }
    LONG size = documentProperties(nullptr, handle, kPrinterName, nullptr, nullptr, 0);
    check(size == sizeof(DEVMODEW), "DocumentPropertiesW reports the size of a DEVMODEW");
    DEVMODEW settings = {};
    check(documentProperties(nullptr, handle, kPrinterName, &settings, nullptr, DM_OUT_BUFFER) ==
                  IDOK &&
              settings.dmPaperSize == DMPAPER_A4 && settings.dmCopies == 1,
          "DocumentPropertiesW fills the default settings: A4, one copy");
    check(DeletePrinter(handle), "DeletePrinter");
    ClosePrinter(handle);
}

void checkDriver(const WCHAR* directory) {
    WCHAR staged[3][MAX_PATH];
    if (!stageDriverFiles(directory, staged)) {
        return;
    }
    DRIVER_INFO_6W driver = {};
    driver.cVersion = 3;
    driver.pName = kDriverName;
    driver.pEnvironment = kEnvironment;
    driver.pDriverPath = staged[0];
    driver.pDataFile = staged[0];
    driver.pConfigFile = staged[1];
    driver.pHelpFile = staged[2];
    if (check(AddPrinterDriverExW(nullptr, 6, reinterpret_cast<BYTE*>(&driver), APD_COPY_ALL_FILES),
              "AddPrinterDriverExW, version 3")) {
        checkPrinter();
        check(DeletePrinterDriverExW(nullptr, kEnvironment, kDriverName, 0, 0),
              "DeletePrinterDriverExW");
    }
    for (const WCHAR* path : staged) {
        DeleteFileW(path);
    }
}

HANDLE startProgram(const WCHAR* exe) {
    WCHAR commandLine[MAX_PATH + 2];
    std::swprintf(commandLine, MAX_PATH + 2, L"\"%ls\"", exe);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

HWND waitForTrayWindow() {
    HWND window = nullptr;
    for (int tries = 0; window == nullptr && tries < 100; ++tries) {
        Sleep(50);
        window = FindWindowW(kTrayClass, nullptr);
    }
    return window;
}

bool endsWithin(HANDLE process, DWORD milliseconds, DWORD expectedCode) {
    DWORD code = STILL_ACTIVE;
    return WaitForSingleObject(process, milliseconds) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(process, &code) && code == expectedCode;
}

void checkTray(const WCHAR* exe) {
    HANDLE first = startProgram(exe);
    if (!check(first != nullptr, "tray companion started")) {
        return;
    }
    HWND window = waitForTrayWindow();
    check(window != nullptr, "its window is found by class");
    HANDLE mutex = CreateMutexA(nullptr, FALSE, kTrayMutex);
    check(mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS, "its mutex exists");
    HANDLE second = startProgram(exe);
    check(second != nullptr && endsWithin(second, 5000, 0), "a second copy leaves at once");
    CloseHandle(second);
    check(PostMessageW(window, WM_USER + 2, 0, 0), "WM_USER+2 posted");
    check(WaitForSingleObject(mutex, 5000) == WAIT_OBJECT_0,
          "the mutex is released, not abandoned");
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    check(endsWithin(first, 5000, 0), "the companion ends with exit code 0");
    CloseHandle(first);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // As in the installer. Under Wine the spooler loads monitor and driver DLLs into this
    // process, and without this the copy beside this program would win over system32's.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (argc != 3) {
        std::printf("usage: product_check monitor DLL | driver DIR | tray EXE\n");
        return 2;
    }
    if (lstrcmpW(argv[1], L"monitor") == 0) {
        checkMonitor(argv[2]);
    } else if (lstrcmpW(argv[1], L"driver") == 0) {
        checkDriver(argv[2]);
    } else if (lstrcmpW(argv[1], L"tray") == 0) {
        checkTray(argv[2]);
    } else {
        std::printf("unknown check\n");
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
