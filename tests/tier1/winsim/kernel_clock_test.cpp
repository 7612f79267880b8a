#include <windows.h>

#include "support/machine_test.h"
#include "machine.h"
#include "winsim/control.h"

namespace {

using KernelClock = MachineTest;

TEST_F(KernelClock, SleepMovesTheVirtualClockOnly) {
    SetLastError(0xDEADBEEF);
    DWORD before = GetTickCount();
    Sleep(50);
    Sleep(10000);
    EXPECT_EQ(10050u, GetTickCount() - before);
    EXPECT_EQ(10050u, winsim::control::clockMs());
    EXPECT_EQ(0xDEADBEEFu, GetLastError());
}

TEST_F(KernelClock, TickCountWrapsAfter49Days) {
    winsim::control::setClockMs(0xFFFFFFF0ull);
    DWORD start = GetTickCount();
    EXPECT_EQ(0xFFFFFFF0u, start);
    Sleep(0x20);
    EXPECT_EQ(0x10u, GetTickCount());
    EXPECT_EQ(0x20u, GetTickCount() - start); // unsigned difference survives the wrap
    EXPECT_EQ(0x100000010ull, winsim::control::clockMs());
}

} // namespace
