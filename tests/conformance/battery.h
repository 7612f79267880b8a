// The conformance battery: every Win32 call the installer makes, in the situations it
// meets, run against whatever implements Win32 underneath (winsim natively, Wine for the
// Windows build). The machine it acts on has C:\conf\bin holding the stub DLLs and
// C:\conf\conformance.exe as the program's path (see README.md beside this file).
#pragma once

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

} // namespace conformance
