// The one simulated machine that every winsim call works on. The installer is
// single-threaded, so the machine (and its last error) is a process-wide object.
#pragma once

#include <string>

#include <windows.h>

#include "files_model.h"
#include "memory_model.h"
#include "programs_model.h"
#include "registry_model.h"
#include "services_model.h"
#include "spooler_model.h"

namespace winsim {

struct MachineSettings {
    std::string programPath = "C:\\Program Files\\Folioscope\\folioinst.exe";
    std::string commandLine = "\"C:\\Program Files\\Folioscope\\folioinst.exe\"";
    DWORD osMajor = 6;
    DWORD osMinor = 2;
    DWORD osBuild = 9200;
    DWORD osPlatform = VER_PLATFORM_WIN32_NT;
    bool administrator = true;      // the manifest asks for elevation
    DWORD systemDirectoryError = 0; // a fault: GetSystemDirectoryW fails with it (not saved)
    DWORD msPerTickRead = 0;        // the clock moves on after each GetTickCount (not saved)
    DWORD displayLanguage = 0x0409; // the only language system messages exist in (not saved)
};

// Where Windows lives on every simulated machine; the spooler finds its files there whatever
// the installer's own GetSystemDirectoryW answers.
extern const char kSystemDirectory[];

struct Machine {
    std::string hostDir;
    uint64_t clockMs = 0;
    DWORD lastError = 0;
    MachineSettings settings;
    Memory memory;
    FileSystem files;
    Registry registry;
    ServiceManager services;
    Spooler spooler;
    Programs programs;
};

Machine& machine();

// Moves the virtual clock on; everything that happens "over time" (service state
// changes, a file released by its holder, other programs answering) is derived from the
// clock when it is looked at.
void advanceClock(uint64_t ms);

} // namespace winsim
