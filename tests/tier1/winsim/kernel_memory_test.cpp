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
        EXPECT_EQ(0u, winsim::machine().memory.liveBlocks());
        EXPECT_EQ(0xDEADBEEFu, GetLastError());
    }
}

TEST_F(KernelMemory, ZeroSizeGivesAUsableBlock) {
    HGLOBAL block = GlobalAlloc(GPTR, 0);
    ASSERT_NE(nullptr, block);
    EXPECT_EQ(nullptr, GlobalFree(block));
}

TEST_F(KernelMemory, FreeingAnUnknownOrFreedBlockReturnsItWithInvalidHandle) {
    for (const Allocator& a : kAllocators) {
        SCOPED_TRACE(a.name);
        HANDLE block = a.allocate(GMEM_FIXED, 8);
        ASSERT_EQ(nullptr, a.release(block));
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(block, a.release(block));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
        int onStack = 0;
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(&onStack, a.release(&onStack));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    }
}

TEST_F(KernelMemory, FreeingNullIsANoOp) {
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(nullptr, GlobalFree(nullptr));
    EXPECT_EQ(nullptr, LocalFree(nullptr));
    EXPECT_EQ(0xDEADBEEFu, GetLastError());
}

TEST_F(KernelMemory, GlobalAndLocalBlocksShareOneHeap) {
    HLOCAL local = LocalAlloc(LMEM_FIXED, 4);
    EXPECT_EQ(nullptr, GlobalFree(local));
    EXPECT_EQ(0u, winsim::machine().memory.liveBlocks());
}

TEST_F(KernelMemory, LastErrorRoundTrips) {
    SetLastError(1234);
    EXPECT_EQ(1234u, GetLastError());
    SetLastError(0);
    EXPECT_EQ(0u, GetLastError());
}

} // namespace
