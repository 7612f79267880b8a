#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace winsim::control {

// The other programs of the simulated machine: the product's tray companion, the help
// viewer, programs that hold a named mutex, and any other executable, which runs doing
// nothing until the machine restarts. Every program maps its image while it runs (deleting
// the file fails with ERROR_ACCESS_DENIED). A program that finds its mutex owned by another
// process ends at once, as a single-instance program does; otherwise it owns the mutex.

constexpr uint64_t kNever = ~uint64_t{0};

enum class ProgramKind { inert, trayCompanion, helpViewer, mutexHolder };

// How a program behaves; each kind reads the fields it needs. Times are virtual ms.
struct ProgramBehaviour {
    ProgramKind kind = ProgramKind::inert;
    // Its top-level windows, one per title, all of one class; they appear windowAfterMs
    // after the start. No titles: no window at all.
    std::string windowClass;
    std::vector<std::string> windowTitles;
    uint64_t windowAfterMs = 0;
    // How long it takes to obey: the tray companion closes its window this long after
    // WM_USER + 2, the help viewer a window this long after WM_SYSCOMMAND/SC_CLOSE (and ends
    // with its last window). kNever: the request is ignored.
    uint64_t answerAfterMs = 0;
    // The tray companion, once its window has gone, keeps running and holding its mutex
    // this long more (kNever: for ever).
    uint64_t mutexKeptMs = 0;
    // The named mutex it holds ("" for none), and when it ends by itself (kNever: it does not).
    std::string mutexName;
    uint64_t endAfterMs = kNever;
    // Whether it releases its mutex when it ends; false leaves the mutex abandoned.
    bool releasesMutex = true;
    // Its image stays mapped this long after it ended (the system lets go of it late).
    uint64_t imageHeldAfterEndMs = 0;
};

// The product's companion: mutex "{3E71B0C2-...}", one window of class
// "fsp::{6C2F8A19-...}" titled "Folioscope Tray", ends 300 ms after the quit message.
ProgramBehaviour trayCompanion();
// The help viewer with one "HH Parent" window per title; each closes 100 ms after SC_CLOSE.
ProgramBehaviour helpViewer(const std::vector<std::string>& titles = {"Folioscope Help"});
// A program (another installer run, say) that holds the mutex until it ends endAfterMs after
// its start, releasing the mutex or abandoning it.
ProgramBehaviour mutexHolder(const std::string& mutexName, uint64_t endAfterMs = kNever,
                             bool releasesMutex = true);

// What CreateProcessW starts for an image: the behaviour mapped to its full path, else to
// its file name (any letter case), else an inert program. A fresh machine maps
// "foltray.exe" to trayCompanion(); the mapping survives restarts.
void mapImage(const std::string& fileNameOrPath, const ProgramBehaviour& behaviour);

// Some other program keeps an object that is not a mutex (an event, say) under this name
// until the machine restarts: CreateMutexA/W of the name fail with ERROR_INVALID_HANDLE, as
// on Windows. Not saved with the machine.
void holdOtherObjectName(const std::string& name);

// Starts a program as the shell does at logon (the image need not exist); its command line
// is the quoted image path. Returns its process id.
uint32_t startProgram(const std::string& imagePath, const ProgramBehaviour& behaviour);

struct WindowState {
    uintptr_t hwnd = 0;
    std::string className;
    std::string title;
};

struct ProgramState {
    uint32_t pid = 0;
    ProgramKind kind = ProgramKind::inert;
    bool running = false;
    std::string image;
    std::string commandLine;
    uint32_t startupFlags = 0; // STARTUPINFOW.dwFlags
    uint32_t showWindow = 0;   // STARTUPINFOW.wShowWindow
    std::vector<WindowState> windows;
    std::map<uint32_t, unsigned> messages; // messages received, by number
};

// The programs started since the machine booted, oldest first, ended ones too.
std::vector<ProgramState> programs();

struct MutexState {
    std::string name; // "Local\" is dropped: it names the session's namespace, as no prefix does
    uint32_t ownerPid = 0; // 0: nobody owns it
    bool abandoned = false;
};

std::vector<MutexState> mutexes();
// The installer's own process id, as mutex owner.
uint32_t installerProcessId();
// The flags of the last successful SetDefaultDllDirectories, 0 before it.
uint32_t defaultDllDirectories();

// The running programs with their windows, and the mutexes, one fact a line.
std::string describePrograms();

} // namespace winsim::control
