#include <windows.h>

#include "support/machine_test.h"
#include "machine.h"
#include "winsim/control.h"

namespace {

using KernelClock = MachineTest;

TEST_F(KernelClock, SleepMovesTheVirtualClockAndTicksWrapAfter49Days) {
    SetLastError(0xDEADBEEF);
    Sleep(50);
    Sleep(10000);
    EXPECT_EQ(10050u, GetTickCount());
    EXPECT_EQ(0xDEADBEEFu, GetLastError());

    winsim::control::setClockMs(0xFFFFFFF0ull);
    const DWORD start = GetTickCount();
    Sleep(0x20);
    EXPECT_EQ(0x10u, GetTickCount());
    EXPECT_EQ(0x20u, GetTickCount() - start); // unsigned difference survives the wrap
    EXPECT_EQ(0x100000010ull, winsim::control::clockMs());
}

} // namespace
