#include <windows.h>

#include "support/machine_test.h"
#include "machine.h"

namespace {

using KernelMemory = MachineTest;

struct Allocator {
    const char* name;
    HANDLE (*allocate)(UINT, SIZE_T);
    HANDLE (*release)(HANDLE);
};

const Allocator kAllocators[] = {{"Global", GlobalAlloc, GlobalFree},
                                 {"Local", LocalAlloc, LocalFree}};

TEST_F(KernelMemory, ZeroInitBlocksAreZeroedCountedAndFreed) {
    for (const Allocator& a : kAllocators) {
        SCOPED_TRACE(a.name);
        SetLastError(0xDEADBEEF);
        auto* block = static_cast<unsigned char*>(a.allocate(GMEM_FIXED | GMEM_ZEROINIT, 100));
        ASSERT_NE(nullptr, block);
        for (int i = 0; i < 100; ++i) {
            ASSERT_EQ(0, block[i]);
        }
        EXPECT_EQ(1u, winsim::machine().memory.liveBlocks());
        EXPECT_EQ(nullptr, a.release(block));
        EXPECT_EQ(0xDEADBEEFu, GetLastError());
    }
    HGLOBAL empty = GlobalAlloc(GPTR, 0);
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(nullptr, LocalFree(empty)) << "one heap behind both families";
}

TEST_F(KernelMemory, FreeingNullIsANoOpUnknownBlocksComeBackWithInvalidHandle) {
    for (const Allocator& a : kAllocators) {
        SCOPED_TRACE(a.name);
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(nullptr, a.release(nullptr));
        EXPECT_EQ(0xDEADBEEFu, GetLastError());
        HANDLE block = a.allocate(GMEM_FIXED, 8);
        ASSERT_EQ(nullptr, a.release(block));
        int onStack = 0;
        for (HANDLE unknown : {block, static_cast<HANDLE>(&onStack)}) {
            SetLastError(0xDEADBEEF);
            EXPECT_EQ(unknown, a.release(unknown));
            EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
        }
    }
}

} // namespace
