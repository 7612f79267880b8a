#include "machine.h"

namespace winsim {

Machine& machine() {
    static Machine theMachine;
    return theMachine;
}

void advanceClock(uint64_t ms) { machine().clockMs += ms; }

} // namespace winsim
