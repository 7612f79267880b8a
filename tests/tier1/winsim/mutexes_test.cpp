// Named mutexes and waits over the virtual clock, against other programs that hold them.
#include <windows.h>

#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

namespace control = winsim::control;

const DWORD kPoison = 0xDEADBEEF;
const HANDLE kBogus = reinterpret_cast<HANDLE>(0x7FF0);

HANDLE createMutex(const char* name, BOOL owned = FALSE) {
    SetLastError(kPoison);
    return CreateMutexA(nullptr, owned, name);
}

class Mutexes : public MachineTest {};

// Names are case-sensitive; "Local\" is the session's namespace, the same as no prefix,
// "Global\" another one. An existing mutex is opened without ownership; once every handle is
// closed the name is free again.
TEST_F(Mutexes, NamesAndTheOwnershipTheyGrant) {
    struct Row {
        const char* name;
        DWORD error;
    } rows[] = {{"Setup", 0},         {"Setup", ERROR_ALREADY_EXISTS},
                {"setup", 0},         {"Local\\Setup", ERROR_ALREADY_EXISTS},
                {"Global\\Setup", 0}, {"Global\\Setup", ERROR_ALREADY_EXISTS},
                {nullptr, 0},         {nullptr, 0}};
    std::vector<HANDLE> handles;
    for (const Row& row : rows) {
        handles.push_back(createMutex(row.name, TRUE));
        EXPECT_NE(nullptr, handles.back()) << (row.name ? row.name : "unnamed");
        EXPECT_EQ(row.error, GetLastError()) << (row.name ? row.name : "unnamed");
        EXPECT_EQ(row.error == 0, ReleaseMutex(handles.back()) != FALSE);
    }
    for (HANDLE handle : handles) {
        EXPECT_TRUE(CloseHandle(handle));
    }
    HANDLE again = createMutex("Setup");
    EXPECT_EQ(0u, GetLastError());
    EXPECT_TRUE(control::mutexes().size() == 1 && control::mutexes()[0].ownerPid == 0);
    CloseHandle(again);
}

TEST_F(Mutexes, RecursiveOwnershipAndInvalidHandles) {
    HANDLE mutex = createMutex("Run", TRUE);
    EXPECT_EQ(DWORD(WAIT_OBJECT_0), WaitForSingleObject(mutex, 0));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    SetLastError(kPoison);
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(DWORD(ERROR_NOT_OWNER), GetLastError());
    EXPECT_TRUE(CloseHandle(mutex));

    for (HANDLE stale : {mutex, kBogus}) {
        SetLastError(kPoison);
        EXPECT_EQ(DWORD(WAIT_FAILED), WaitForSingleObject(stale, 100));
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
        SetLastError(kPoison);
        EXPECT_FALSE(ReleaseMutex(stale));
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
        SetLastError(kPoison);
        EXPECT_FALSE(CloseHandle(stale));
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    }
    EXPECT_EQ(0u, control::clockMs());
}

// A wait returns at the virtual moment the holder lets go, or after exactly its timeout; an
// abandoned mutex is handed over with WAIT_ABANDONED, after which the installer owns it.
TEST_F(Mutexes, WaitsAgainstAnotherProgramInVirtualTime) {
    struct Row {
        uint64_t endAfterMs;
        bool releases;
        DWORD timeout;
        DWORD result;
        uint64_t returnsAtMs;
    } rows[] = {
        {1500, true, 5000, WAIT_OBJECT_0, 1500},
        {1500, false, 5000, WAIT_ABANDONED, 1500},
        {1500, true, 1499, WAIT_TIMEOUT, 1499},
        {control::kNever, true, 5000, WAIT_TIMEOUT, 5000},
        {control::kNever, true, 0, WAIT_TIMEOUT, 0},
        {1500, true, INFINITE, WAIT_OBJECT_0, 1500},
    };
    for (const Row& row : rows) {
        control::freshMachine(dir());
        control::startProgram("C:\\Setup\\folioinst.exe",
                              control::mutexHolder("Global\\Run", row.endAfterMs, row.releases));
        HANDLE mutex = createMutex("Global\\Run", TRUE);
        EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), GetLastError());
        SetLastError(kPoison);
        EXPECT_EQ(row.result, WaitForSingleObject(mutex, row.timeout)) << row.timeout;
        EXPECT_EQ(kPoison, GetLastError());
        EXPECT_EQ(row.returnsAtMs, control::clockMs()) << row.timeout;
        const bool owned = row.result != WAIT_TIMEOUT;
        EXPECT_EQ(owned ? control::installerProcessId() : 1000u, control::mutexes()[0].ownerPid);
        EXPECT_EQ(owned, WaitForSingleObject(mutex, 0) == WAIT_OBJECT_0);
        EXPECT_EQ(owned, ReleaseMutex(mutex) && ReleaseMutex(mutex));
        CloseHandle(mutex);
    }
}

} // namespace
