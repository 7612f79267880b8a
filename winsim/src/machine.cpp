#include "machine.h"

namespace winsim {

Machine& machine() {
    static Machine theMachine;
    return theMachine;
}

void advanceClock(uint64_t ms) {
    Machine& m = machine();
    m.clockMs += ms;
    m.services.onClock(m.clockMs);
}

} // namespace winsim
