#include "app/commands.h"

#include "app/help_viewer.h"
#include "app/run_wrapper.h"
#include "log/text_utils.h"
#include "spool/status_commands.h"
#include "system/pending_renames.h"
#include "tray/tray_companion.h"

namespace {

const int kExitInstalled = 1;
const int kExitUninstalled = 2;
const int kExitNo = 3;
const int kExitDefaultSet = 4;
const int kExitRunFailed = 100;
const int kExitRebootNeeded = 101;
const int kExitOtherDefault = 102;
const int kExitDriverCurrent = 103;
const int kExitRebootPending = 200;

// An error outweighs a pending reboot: the caller must learn that the run failed. Open help
// windows go first: the run replaces the files they show.
int runAndExit(bool (*run)(HWND, int&), HWND owner, int success) {
    closeHelpViewer();
    int rebootCount = 0;
    if (run(owner, rebootCount)) {
        return kExitRunFailed;
    }
    return rebootCount > 0 ? kExitRebootNeeded : success;
}

int runOnChkDrv(HWND) {
    return driverIsCurrent() ? kExitDriverCurrent : kExitNo;
}

int runOnInit(HWND) {
    if (productFilesPendingRename()) {
        return kExitRebootPending;
    }
    return defaultIsOtherPrinter() ? kExitOtherDefault : kExitNo;
}

int runUninstallWord(HWND owner) {
    return runAndExit(runUninstallCommand, owner, kExitUninstalled);
}

int runRemoveTray(HWND) {
    stopTrayCompanion(nullptr);
    return kExitNoCommand;
}

int runInstallWord(HWND owner) {
    return runAndExit(runInstallCommand, owner, kExitInstalled);
}

int runDefSet(HWND) {
    makeProductPrinterDefault();
    return kExitDefaultSet;
}

const Command kCommands[] = {
    {{L"onChkDrv"}, CommandMatch::AnyCase, runOnChkDrv},
    {{L"onInit"}, CommandMatch::AnyCase, runOnInit},
    {{L"un", L"uninstall"}, CommandMatch::AnyCase, runUninstallWord},
    {{L"removetray"}, CommandMatch::AnyCase, runRemoveTray},
    {{L"in", L"install", L"serverinstall"}, CommandMatch::AnyCase, runInstallWord},
    {{L"def.set"}, CommandMatch::Exact, runDefSet},
};

bool matches(const Command& command, const WCHAR* word) {
    for (const WCHAR* spelling : command.words) {
        if (spelling == nullptr) {
            continue;
        }
        bool same = command.match == CommandMatch::Exact ? sameText(word, spelling)
                                                         : compareIgnoringCase(word, spelling) == 0;
        if (same) {
            return true;
        }
    }
    return false;
}

} // namespace

const Command* findCommand(const WCHAR* word) {
    for (const Command& command : kCommands) {
        if (matches(command, word)) {
            return &command;
        }
    }
    return nullptr;
}

int runCommand(const WCHAR* word, HWND owner) {
    const Command* command = findCommand(word);
    if (command == nullptr) {
        return kExitNoCommand;
    }
    return command->action(owner);
}

HWND ownerWindowFrom(const WCHAR* word) {
    HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(parseLong(word)));
    return IsWindow(window) ? window : nullptr;
}
