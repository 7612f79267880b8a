#include "app/run_lock.h"

#include "log/install_log.h"

namespace {

// Global\: runs in other sessions (a deployment service, a second user) share it.
const WCHAR kRunLockName[] = L"Global\\Folioscope.Install.Run";
const DWORD kLongestWaitMs = 10 * 60 * 1000;

bool holds(const RunLock& lock) {
    return lock.mutex != nullptr &&
           (lock.waitResult == WAIT_OBJECT_0 || lock.waitResult == WAIT_ABANDONED);
}

} // namespace

RunLock takeRunLock() {
    RunLock lock{nullptr, WAIT_FAILED, 0};
    lock.mutex = CreateMutexW(nullptr, FALSE, kRunLockName);
    if (lock.mutex == nullptr) {
        return lock;
    }
    // A free lock is taken without a wait line: two tick reads around an instant wait can
    // still differ by a tick, so only a lock another run holds starts the clock.
    lock.waitResult = WaitForSingleObject(lock.mutex, 0);
    if (lock.waitResult == WAIT_TIMEOUT) {
        DWORD start = GetTickCount();
        lock.waitResult = WaitForSingleObject(lock.mutex, kLongestWaitMs);
        lock.waitedMs = GetTickCount() - start;
    }
    return lock;
}

void logRunLockWait(InstallContext& context, const RunLock& lock) {
    if (lock.mutex == nullptr) {
        return;
    }
    int seconds = static_cast<int>((lock.waitedMs + 999) / 1000);
    if (lock.waitResult == WAIT_ABANDONED) {
        logLine(context, L"Another installer run ended without finishing; went on after %d s",
                seconds);
    } else if (lock.waitResult == WAIT_TIMEOUT) {
        logLine(context, L"Another installer run is still busy after %d s; going on anyway",
                seconds);
    } else if (lock.waitedMs > 0) {
        logLine(context, L"Waited %d s for another installer run to finish", seconds);
    }
}

void releaseRunLock(RunLock& lock) {
    if (lock.mutex == nullptr) {
        return;
    }
    if (holds(lock)) {
        ReleaseMutex(lock.mutex);
    }
    CloseHandle(lock.mutex);
    lock.mutex = nullptr;
}
