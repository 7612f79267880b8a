#include "programs_model.h"

#include "files_paths.h"
#include "machine.h"
#include "winsim/text.h"

namespace winsim {

namespace {

// The file model's name for the program's hold of its image.
std::string holderOf(DWORD pid) {
    return "process " + std::to_string(pid);
}

void mapImageFile(const Program& program, uint64_t forMs) {
    if (locate(parseWindowsPath(program.image)).state == PathState::File) {
        machine().files.holdFile(program.image, holderOf(program.pid),
                                 GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ, true, forMs);
    }
}

// The key under which an image is mapped to a behaviour: a folded full path or file name.
std::string imageKey(const std::string& fileNameOrPath) {
    if (fileNameOrPath.find_first_of("\\/") == std::string::npos) {
        return foldCase(fileNameOrPath);
    }
    return parseWindowsPath(fileNameOrPath).key;
}

} // namespace

void Programs::reset() {
    programs_.clear();
    windows_.clear();
    mutexes_.clear();
    pending_.clear();
    handles_.clear();
    images_ = {{"foltray.exe", control::trayCompanion()}};
    nextPid_ = 1000;
    nextWindow_ = 0x10042;
    nextMutex_ = 1;
    dllDirectories = 0;
    otherObjectNames.clear();
}

void Programs::reboot() {
    const uint64_t now = machine().clockMs;
    for (auto& entry : programs_) {
        if (entry.second.running) {
            end(entry.second, now, true);
        }
    }
    programs_.clear();
    otherObjectNames.clear();
}

// Processes and threads draw their ids from one counter, as on Windows, in steps of 4.
DWORD Programs::start(const std::string& image, const std::string& commandLine,
                      const ProgramBehaviour& behaviour, DWORD startupFlags, WORD showWindow) {
    const uint64_t now = machine().clockMs;
    Program& program = programs_[nextPid_];
    program.pid = nextPid_;
    program.tid = nextPid_ + 4;
    nextPid_ += 8;
    program.behaviour = behaviour;
    program.image = image;
    program.commandLine = commandLine;
    program.startupFlags = startupFlags;
    program.showWindow = showWindow;
    mapImageFile(program, 0);
    if (!behaviour.mutexName.empty() && !takeMutex(program)) {
        end(program, now, false);
        return program.pid;
    }
    if (!behaviour.windowTitles.empty() && behaviour.windowAfterMs != control::kNever) {
        schedule(now + behaviour.windowAfterMs, {program.pid, Reaction::openWindows, 0});
    }
    if (behaviour.endAfterMs != control::kNever) {
        schedule(now + behaviour.endAfterMs, {program.pid, Reaction::end, 0});
    }
    onClock(now);
    return program.pid;
}

bool Programs::takeMutex(Program& program) {
    bool existed = false;
    Mutex& mutex = *this->mutex(openMutex(program.behaviour.mutexName, &existed));
    ++mutex.holders;
    if (mutex.owner != 0) {
        return false;
    }
    mutex.owner = program.pid;
    mutex.count = 1;
    mutex.abandoned = false;
    return true;
}

// A program that ends lets go of everything: its windows close, its mutex is released (or
// abandoned when it does not release it, or was terminated), its image is unmapped.
void Programs::end(Program& program, uint64_t at, bool terminated) {
    closeWindows(program.pid);
    if (!program.behaviour.mutexName.empty()) {
        const uint64_t id = findMutex(mutexKey(program.behaviour.mutexName));
        Mutex& mutex = *this->mutex(id);
        if (mutex.owner == program.pid) {
            mutex.owner = 0;
            mutex.count = 0;
            mutex.abandoned = terminated || !program.behaviour.releasesMutex;
        }
        --mutex.holders;
        forgetIfUnused(id);
    }
    machine().files.releaseHolds(holderOf(program.pid));
    const uint64_t now = machine().clockMs;
    const uint64_t heldMs = program.behaviour.imageHeldAfterEndMs;
    if (!terminated && heldMs > now - at) {
        mapImageFile(program, heldMs == control::kNever ? 0 : heldMs - (now - at));
    }
    program.running = false;
    for (auto it = pending_.begin(); it != pending_.end();) {
        it = it->second.pid == program.pid ? pending_.erase(it) : std::next(it);
    }
}

void Programs::openWindows(const Program& program) {
    for (const std::string& title : program.behaviour.windowTitles) {
        windows_.push_back({nextWindow_, program.behaviour.windowClass, title, program.pid});
        nextWindow_ += 2;
    }
}

void Programs::closeWindow(uintptr_t hwnd) {
    for (auto it = windows_.begin(); it != windows_.end(); ++it) {
        if (it->hwnd == hwnd) {
            windows_.erase(it);
            return;
        }
    }
}

void Programs::closeWindows(DWORD pid) {
    std::vector<Window> kept;
    for (const Window& window : windows_) {
        if (window.pid != pid) {
            kept.push_back(window);
        }
    }
    windows_.swap(kept);
}

bool Programs::hasWindows(DWORD pid) const {
    for (const Window& window : windows_) {
        if (window.pid == pid) {
            return true;
        }
    }
    return false;
}

const Program* Programs::program(DWORD pid) const {
    auto it = programs_.find(pid);
    return it == programs_.end() ? nullptr : &it->second;
}

void Programs::mapImage(const std::string& fileNameOrPath, const ProgramBehaviour& behaviour) {
    const std::string key = imageKey(fileNameOrPath);
    for (auto& entry : images_) {
        if (entry.first == key) {
            entry.second = behaviour;
            return;
        }
    }
    images_.emplace_back(key, behaviour);
}

ProgramBehaviour Programs::behaviourFor(const std::string& image) const {
    const WindowsPath path = parseWindowsPath(image);
    const std::string name = path.components.empty() ? "" : foldCase(path.components.back());
    for (const std::string& key : {path.key, name}) {
        for (const auto& entry : images_) {
            if (entry.first == key) {
                return entry.second;
            }
        }
    }
    return ProgramBehaviour();
}

} // namespace winsim
