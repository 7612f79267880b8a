// Waits over the virtual clock. The clock moves from one reaction of the other programs to
// the next, so a wait returns at the very moment its object is signalled, or after exactly
// the time it was given.
#include <cstdio>
#include <cstdlib>

#include "machine.h"
#include "programs_model.h"

namespace {

// WAIT_TIMEOUT while the object is not signalled, else what the wait returns; a mutex that
// was free now belongs to the installer.
DWORD tryWait(const winsim::KernelObject& object) {
    winsim::Programs& programs = winsim::machine().programs;
    if (object.kind != winsim::ObjectKind::mutex) {
        const winsim::Program* program = programs.program(static_cast<DWORD>(object.id));
        return program && program->running ? WAIT_TIMEOUT : WAIT_OBJECT_0;
    }
    winsim::Mutex& mutex = *programs.mutex(object.id);
    if (mutex.owner == winsim::kInstallerPid) {
        ++mutex.count;
        return WAIT_OBJECT_0;
    }
    if (mutex.owner != 0) {
        return WAIT_TIMEOUT;
    }
    const DWORD result = mutex.abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
    mutex.owner = winsim::kInstallerPid;
    mutex.count = 1;
    mutex.abandoned = false;
    return result;
}

} // namespace

// A file handle is signalled while no I/O is pending on it, and the simulated I/O is
// synchronous.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    winsim::Machine& m = winsim::machine();
    if (m.files.file(hHandle)) {
        return WAIT_OBJECT_0;
    }
    const winsim::KernelObject* found = m.programs.object(hHandle);
    if (!found) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    const winsim::KernelObject object = *found;
    const bool forever = dwMilliseconds == INFINITE;
    const uint64_t deadline = m.clockMs + dwMilliseconds;
    for (;;) {
        const DWORD result = tryWait(object);
        if (result != WAIT_TIMEOUT) {
            return result;
        }
        const std::optional<uint64_t> next = m.programs.nextReaction();
        if (next && (forever || *next <= deadline)) {
            winsim::advanceClock(*next - m.clockMs);
        } else if (forever) {
            std::fputs("winsim: WaitForSingleObject(INFINITE) on an object nothing will ever "
                       "signal: the program would hang here\n",
                       stderr);
            std::abort();
        } else {
            winsim::advanceClock(deadline - m.clockMs);
            return WAIT_TIMEOUT;
        }
    }
}
