#include <cstdio>

#include "machine.h"
#include "winsim/control.h"

namespace winsim::control {

namespace {

const char* kindName(ProgramKind kind) {
    switch (kind) {
    case ProgramKind::trayCompanion:
        return "tray companion";
    case ProgramKind::helpViewer:
        return "help viewer";
    case ProgramKind::mutexHolder:
        return "mutex holder";
    case ProgramKind::inert:
        break;
    }
    return "program";
}

std::string hex(uintptr_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(value));
    return text;
}

std::string ownerText(const MutexState& mutex) {
    if (mutex.ownerPid == installerProcessId()) {
        return "owned by the installer";
    }
    if (mutex.ownerPid) {
        return "owned by program " + std::to_string(mutex.ownerPid);
    }
    return mutex.abandoned ? "abandoned" : "free";
}

} // namespace

ProgramBehaviour trayCompanion() {
    ProgramBehaviour behaviour;
    behaviour.kind = ProgramKind::trayCompanion;
    behaviour.windowClass = "fsp::{6C2F8A19-E4B7-4D03-A5E1-97B3C40D2E86}";
    behaviour.windowTitles = {"Folioscope Tray"};
    behaviour.answerAfterMs = 300;
    behaviour.mutexName = "{3E71B0C2-5D4A-4F19-9C83-2A6B7E0D1F54}";
    return behaviour;
}

ProgramBehaviour helpViewer(const std::vector<std::string>& titles) {
    ProgramBehaviour behaviour;
    behaviour.kind = ProgramKind::helpViewer;
    behaviour.windowClass = "HH Parent";
    behaviour.windowTitles = titles;
    behaviour.answerAfterMs = 100;
    return behaviour;
}

ProgramBehaviour mutexHolder(const std::string& mutexName, uint64_t endAfterMs,
                             bool releasesMutex) {
    ProgramBehaviour behaviour;
    behaviour.kind = ProgramKind::mutexHolder;
    behaviour.mutexName = mutexName;
    behaviour.endAfterMs = endAfterMs;
    behaviour.releasesMutex = releasesMutex;
    return behaviour;
}

void mapImage(const std::string& fileNameOrPath, const ProgramBehaviour& behaviour) {
    machine().programs.mapImage(fileNameOrPath, behaviour);
}

void holdOtherObjectName(const std::string& name) {
    machine().programs.otherObjectNames.insert(mutexKey(name));
}

uint32_t startProgram(const std::string& imagePath, const ProgramBehaviour& behaviour) {
    return machine().programs.start(imagePath, "\"" + imagePath + "\"", behaviour, 0, 0);
}

std::vector<ProgramState> programs() {
    const Programs& model = machine().programs;
    std::vector<ProgramState> states;
    for (const auto& entry : model.all()) {
        const Program& program = entry.second;
        ProgramState state;
        state.pid = program.pid;
        state.kind = program.behaviour.kind;
        state.running = program.running;
        state.image = program.image;
        state.commandLine = program.commandLine;
        state.startupFlags = program.startupFlags;
        state.showWindow = program.showWindow;
        for (const Window& window : model.windows()) {
            if (window.pid == program.pid) {
                state.windows.push_back({window.hwnd, window.className, window.title});
            }
        }
        state.messages.insert(program.received.begin(), program.received.end());
        states.push_back(state);
    }
    return states;
}

std::vector<MutexState> mutexes() {
    std::vector<MutexState> states;
    for (const auto& entry : machine().programs.allMutexes()) {
        states.push_back({entry.second.name, entry.second.owner, entry.second.abandoned});
    }
    return states;
}

uint32_t installerProcessId() {
    return kInstallerPid;
}

uint32_t defaultDllDirectories() {
    return machine().programs.dllDirectories;
}

std::string describePrograms() {
    std::string out;
    for (const ProgramState& program : programs()) {
        if (!program.running) {
            continue;
        }
        out += "program  " + std::to_string(program.pid) + " " + kindName(program.kind) + " " +
               program.image + "\n";
        for (const WindowState& window : program.windows) {
            out += "window   " + hex(window.hwnd) + " " + window.className + " \"" + window.title +
                   "\"\n";
        }
    }
    for (const MutexState& mutex : mutexes()) {
        out += "mutex    " + (mutex.name.empty() ? "(unnamed)" : mutex.name) + " " +
               ownerText(mutex) + "\n";
    }
    return out;
}

} // namespace winsim::control
