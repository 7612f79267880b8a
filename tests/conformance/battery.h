// The conformance battery: every Win32 call the installer makes, in the situations it
// meets, run against whatever implements Win32 underneath (winsim natively, Wine for the
// Windows build). The machine it acts on has C:\conf\bin holding the stub DLLs and
// C:\conf\conformance.exe as the program's path (see README.md beside this file).
#pragma once

#include <windows.h>
#include <winspool.h>

#include <functional>

#include "report.h"

namespace conformance {

// The families, in the order they run: later ones rely on what earlier ones left
// (the stub DLLs copied into place, the monitor and driver installed).
void fileCases();
void registryCases();
void kernelCases();
void serviceCases();
void monitorCases();
void driverCases();
void printerCases();
void stoppedSpoolerCases();
void removalCases();
void mutexCases();
void otherProgramCases();
void userCases();

// Stops the spooler service, runs the cases, starts it again.
void withSpoolerStopped(void (*cases)());

// Runs the families in order; 0 when the battery ran to its end.
int runBattery();

// How the person at the machine closes a modal dialog.
enum class Close { button, escape, closeBox };
// Called by a dialog procedure on WM_INITDIALOG: under Wine the battery posts what the
// person's click or key makes; winsim is told by its knob. `button` is the dialog's button.
void personCloses(HWND dialog, HWND button, Close how);

// The other programs the battery starts: copies of its own executable acting the part their file
// name gives (windows_main.cpp; native_main.cpp maps them to winsim's); any other copy just ends.
// A tray companion: holds its mutex and shows one window; on WM_USER + 2 it releases the
// mutex and ends.
#define CONF_TRAY "tray.exe"
#define CONF_TRAY_NAME "ConfTray" // its mutex and its window class
#define CONF_TRAY_TITLE "Conf Tray"
// The same part, ending without releasing its mutex.
#define CONF_QUITTER "quitter.exe"
#define CONF_QUITTER_NAME "ConfQuitter"
// A help viewer: two windows of one class, the second newer; SC_CLOSE closes one, and the
// viewer ends with its last.
#define CONF_VIEWER "viewer.exe"
#define CONF_VIEWER_CLASS "ConfViewer"
#define CONF_HELP_TITLE "Conf Help"
#define CONF_OTHER_TITLE "Other Help"

// One registry value read into a buffer of `size` bytes (none for 0): its type, size, data and
// the byte after them.
void queryValue(const char* id, HKEY key, const WCHAR* name, DWORD size);

// Asks `done` until it holds, `tries` more times at most, `ms` apart: under Wine other programs
// and services take their time.
template <typename Done> bool poll(int tries, DWORD ms, Done done) {
    bool ok = done();
    for (int i = 0; i < tries && !ok; ++i) {
        Sleep(ms);
        ok = done();
    }
    return ok;
}

// Copies a file with the file calls themselves (the battery has no other way onto C:).
void copyFile(const wchar_t* from, const wchar_t* to);
// Closes a handle that a call may have left NULL or INVALID_HANDLE_VALUE.
void closeIfOpen(HANDLE h);

// What the spooler families share: the objects the battery installs, the probe-then-fill
// protocol of every INFO query, and printer handles by name.
constexpr WCHAR kMonitor[] = L"CONF:";           // the stub monitor, whose one port has its name
constexpr WCHAR kDriver[] = L"Conf driver";      // the stub driver
constexpr WCHAR kPrinter[] = L"Conf printer";    // on the monitor's port
constexpr WCHAR kSecond[] = L"Conf second";      // on LPT1:
constexpr WCHAR kEnvironment[] = L"Windows x64"; // the spooler's own
#define CONF_DRIVER_DIR L"C:\\Windows\\system32\\spool\\drivers\\x64" // of that environment

// buffer, its size, needed, returned (a Get* call has no count and ignores it).
using Query = std::function<BOOL(LPBYTE, DWORD, DWORD*, DWORD*)>;

// The probe (no buffer), a buffer one byte short, and the exact size: cases "<id>.probe",
// "<id>.short", "<id>.exact", each filled entry shown as "[fields]". Sizes are shown relative
// to the probe's answer, which differs between implementations (a driver-made DEVMODE,
// string lengths); an answer that fits the probe ends there. The count starts as `count`: 1
// for a Get* call, which fills one entry.
void probeAndFill(const std::string& id, const std::string& call, const Query& query, DWORD count,
                  size_t entrySize, const std::function<std::string(const BYTE*)>& entry);
template <typename Info, typename Fields>
void probeAndFill(const std::string& id, const std::string& call, const Query& query, Fields fields,
                  DWORD count = kPoison) {
    probeAndFill(id, call, query, count, sizeof(Info), [fields](const BYTE* entry) {
        return fields(*reinterpret_cast<const Info*>(entry));
    });
}

HANDLE openPrinter(const WCHAR* name, ACCESS_MASK access);
// What a printer's handle and a monitor's DLL allow while the spooler has them.
void heldMonitorCases(const char* writeId, const char* deleteId);

} // namespace conformance
