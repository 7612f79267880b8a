#include "machine.h"

#include "winsim/control.h"

namespace winsim {

Machine& machine() {
    static Machine theMachine;
    return theMachine;
}

void advanceClock(uint64_t ms) {
    Machine& m = machine();
    m.clockMs += ms;
    m.services.onClock(m.clockMs);
    m.programs.onClock(m.clockMs);
}

} // namespace winsim

namespace winsim::control {

void setCommandLine(const std::string& utf8) {
    machine().settings.commandLine = utf8;
}

void setProgramPath(const std::string& windowsPath) {
    machine().settings.programPath = windowsPath;
}

void failSystemDirectory(uint32_t error) {
    machine().settings.systemDirectoryError = error;
}

void setDisplayLanguage(uint32_t languageId) {
    machine().settings.displayLanguage = languageId;
}

void setWindowsVersion(uint32_t major, uint32_t minor, uint32_t build, uint32_t platform) {
    MachineSettings& s = machine().settings;
    s.osMajor = major;
    s.osMinor = minor;
    s.osBuild = build;
    s.osPlatform = platform;
}

// The usual image base of a 64-bit executable.
void* programInstance() {
    return reinterpret_cast<void*>(uintptr_t{0x140000000});
}

size_t openHandleCount() {
    const Machine& m = machine();
    return m.files.openHandles() + m.registry.openHandles() + m.services.openHandles() +
           m.spooler.openHandles() + m.programs.openHandles();
}

size_t liveMemoryBlocks() {
    return machine().memory.liveBlocks();
}

void failAllocations(size_t granted, size_t refused) {
    machine().memory.refuseAfter(granted, refused);
}

} // namespace winsim::control
