#include "app/run_wrapper.h"

#include "app/install_context.h"
#include "app/log_dialog.h"
#include "app/module_instance.h"
#include "app/resource.h"
#include "app/run_lock.h"
#include "app/sequences.h"
#include "system/deferred_files.h"

namespace {

typedef void (*Sequence)(InstallContext& context);

// A run started by a service has no one to close a window: a modal dialog on an
// invisible window station would block the installer for ever.
bool canShowWindows() {
    USEROBJECTFLAGS flags = {};
    DWORD needed = 0;
    HWINSTA station = GetProcessWindowStation();
    if (station == nullptr ||
        !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof(flags), &needed)) {
        return true;
    }
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

void showLog(InstallContext& context, HWND owner) {
    bool wanted = context.errorCount != 0 || GetAsyncKeyState(VK_SHIFT) < 0;
    if (wanted && canShowWindows()) {
        DialogBoxParamW(moduleInstance, MAKEINTRESOURCEW(IDD_LOG_DIALOG), owner, logDialogProc,
                        reinterpret_cast<LPARAM>(&context));
    }
}

bool runSequence(Sequence sequence, HWND owner, int& rebootCount) {
    RunLock lock = takeRunLock();
    bool failed = false;
    {
        InstallContext context;
        logRunLockWait(context, lock);
        sequence(context);
        rebootCount = scheduleForReboot(context);
        showLog(context, owner);
        failed = context.errorCount != 0;
    }
    releaseRunLock(lock);
    return failed;
}

} // namespace

// A refused file is neither logged nor counted: it only costs the reboot count.
int scheduleForReboot(InstallContext& context) {
    int scheduled = 0;
    for (DeferredFile* file = context.deferredFiles; file != nullptr; file = file->next) {
        if (MoveFileExW(file->path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
            ++scheduled;
        }
    }
    freeDeferredFiles(context.deferredFiles);
    context.deferredFiles = nullptr;
    return scheduled;
}

bool runInstallCommand(HWND owner, int& rebootCount) {
    return runSequence(ReInstall, owner, rebootCount);
}

bool runUninstallCommand(HWND owner, int& rebootCount) {
    return runSequence(runUninstall, owner, rebootCount);
}
