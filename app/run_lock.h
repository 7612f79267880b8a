// Two install or uninstall runs at once would stop and start the spooler under each other,
// so a run holds a machine-wide lock for its whole length.
#pragma once

#include <windows.h>

#include "record/install_context.h"

struct RunLock {
    HANDLE mutex; // null when the lock could not be made; the run goes on without it
    DWORD waitResult;
    DWORD waitedMs;
};

// Waits for a run in progress to finish, at most 10 minutes; a lock whose run crashed is
// taken over.
RunLock takeRunLock();
// One log line when the run had to wait, or took the lock over, or gave up waiting.
void logRunLockWait(InstallContext& context, const RunLock& lock);
void releaseRunLock(RunLock& lock);
