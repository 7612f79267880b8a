// The other programs of the simulated machine and what the installer shares with them:
// their processes, the top-level windows they own, named mutexes, and the reactions they
// still have to carry out over the virtual clock. The installer's process is one more party:
// it holds mutex and process handles and may own mutexes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <windows.h>

#include "winsim/control/programs.h"

namespace winsim {

using control::ProgramBehaviour;
using control::ProgramKind;

// The installer's process id; other programs get ids from 1000 up.
constexpr DWORD kInstallerPid = 900;

struct Window {
    uintptr_t hwnd = 0;
    std::string className;
    std::string title;
    DWORD pid = 0; // the owning program
};

struct Mutex {
    std::string name;   // "" for an unnamed mutex; "Local\" dropped
    DWORD owner = 0;    // process id, 0 when free
    unsigned count = 0; // how often the owner acquired it
    bool abandoned = false;
    unsigned installerHandles = 0;
    unsigned holders = 0; // running programs that have it open
};

struct Program {
    DWORD pid = 0;
    DWORD tid = 0;
    ProgramBehaviour behaviour;
    std::string image; // Windows path
    std::string commandLine;
    DWORD startupFlags = 0;
    WORD showWindow = 0;
    bool running = true;
    std::map<UINT, unsigned> received;
};

enum class Reaction { openWindows, closeWindow, quit, end };

struct Pending {
    DWORD pid = 0;
    Reaction what = Reaction::end;
    uintptr_t hwnd = 0; // for closeWindow
};

struct StoreBlock;

enum class ObjectKind { mutex, process, thread };

// What a handle of the installer's process refers to: a mutex id, or a process id.
struct KernelObject {
    ObjectKind kind = ObjectKind::mutex;
    uint64_t id = 0;
};

class Programs {
  public:
    Programs() { reset(); }

    // A fresh machine: no program, "foltray.exe" mapped to the tray companion.
    void reset();
    // Every program ends (terminated: the mutexes they own are abandoned); mappings stay.
    void reboot();
    bool save(const std::string& dir) const;
    bool load(const std::string& dir);

    // The reactions due by `now` happen, each at its own moment, in order.
    void onClock(uint64_t now);
    std::optional<uint64_t> nextReaction() const;

    // Starts a program at the current clock time; returns its process id.
    DWORD start(const std::string& image, const std::string& commandLine,
                const ProgramBehaviour& behaviour, DWORD startupFlags, WORD showWindow);
    void mapImage(const std::string& fileNameOrPath, const ProgramBehaviour& behaviour);
    // The behaviour for the image at this Windows path.
    ProgramBehaviour behaviourFor(const std::string& image) const;
    // A message posted to a window of a program.
    void deliver(const Window& window, UINT message, WPARAM wParam);
    const Program* program(DWORD pid) const;
    const std::map<DWORD, Program>& all() const { return programs_; }

    // Top-level windows, oldest first (the newest is on top).
    const std::vector<Window>& windows() const { return windows_; }
    const Window* window(HWND hwnd) const;

    // Named mutexes: the existing one of that name, or a new one. "Local\" is dropped.
    uint64_t openMutex(const std::string& name, bool* existed);
    Mutex* mutex(uint64_t id);
    // A mutex nobody has open any more is gone, its name free again.
    void forgetIfUnused(uint64_t id);
    const std::map<uint64_t, Mutex>& allMutexes() const { return mutexes_; }

    // The installer's handles.
    HANDLE addHandle(ObjectKind kind, uint64_t id);
    const KernelObject* object(HANDLE handle) const;
    bool closeHandle(HANDLE handle);
    size_t openHandles() const { return handles_.size(); }

    DWORD dllDirectories = 0; // what the installer set with SetDefaultDllDirectories
    // Names that objects other than mutexes (events, say) hold in the session's namespace;
    // not saved with the machine.
    std::set<std::string> otherObjectNames;

  private:
    void schedule(uint64_t at, const Pending& reaction);
    bool isPending(DWORD pid, Reaction what, uintptr_t hwnd) const;
    void react(const Pending& reaction, uint64_t at);
    void openWindows(const Program& program);
    void closeWindow(uintptr_t hwnd);
    void closeWindows(DWORD pid);
    bool hasWindows(DWORD pid) const;
    bool takeMutex(Program& program);
    void end(Program& program, uint64_t at, bool terminated);
    uint64_t findMutex(const std::string& key) const;
    bool loadBlock(const StoreBlock& block);

    std::map<DWORD, Program> programs_;
    std::vector<Window> windows_;
    std::map<uint64_t, Mutex> mutexes_;
    std::multimap<uint64_t, Pending> pending_; // by clock time; equal times in order
    std::map<uintptr_t, KernelObject> handles_;
    std::vector<std::pair<std::string, ProgramBehaviour>> images_; // folded name or path
    DWORD nextPid_ = 1000;
    uintptr_t nextWindow_ = 0x10042;
    uint64_t nextMutex_ = 1;
};

// The name a program or CreateMutex gives, as the session's namespace keys it.
std::string mutexKey(const std::string& name);

} // namespace winsim
