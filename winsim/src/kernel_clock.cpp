#include "machine.h"
#include "winsim/control.h"

void WINAPI Sleep(DWORD dwMilliseconds) {
    winsim::advanceClock(dwMilliseconds);
}

// The tick count is the clock in milliseconds cut to 32 bits: it wraps after 49.7 days,
// as it does on Windows.
DWORD WINAPI GetTickCount(void) {
    winsim::Machine& m = winsim::machine();
    DWORD now = static_cast<DWORD>(m.clockMs);
    winsim::advanceClock(m.settings.msPerTickRead);
    return now;
}

namespace winsim::control {

uint64_t clockMs() {
    return machine().clockMs;
}

void passTimeBetweenTickReads(uint32_t ms) {
    machine().settings.msPerTickRead = ms;
}

void setClockMs(uint64_t ms) {
    Machine& m = machine();
    m.clockMs = ms;
    m.services.onClock(ms);
    m.programs.onClock(ms);
}

} // namespace winsim::control
