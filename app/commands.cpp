#include "app/commands.h"

#include "log/text_utils.h"
#include "system/pending_renames.h"

namespace {

const int kExitRebootPending = 200;

// Only the first half of the question is answered so far: with no product DLL waiting for a
// reboot, the default-printer half decides, and until it does the command claims nothing.
int runOnInit(HWND) {
    return productFilesPendingRename() ? kExitRebootPending : kExitNoCommand;
}

const Command kCommands[] = {
    {{L"onChkDrv"}, CommandMatch::AnyCase, nullptr},
    {{L"onInit"}, CommandMatch::AnyCase, runOnInit},
    {{L"un", L"uninstall"}, CommandMatch::AnyCase, nullptr},
    {{L"removetray"}, CommandMatch::AnyCase, nullptr},
    {{L"in", L"install", L"serverinstall"}, CommandMatch::AnyCase, nullptr},
    {{L"def.set"}, CommandMatch::Exact, nullptr},
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
    if (command == nullptr || command->action == nullptr) {
        return kExitNoCommand;
    }
    return command->action(owner);
}

HWND ownerWindowFrom(const WCHAR* word) {
    HWND window = reinterpret_cast<HWND>(static_cast<LONG_PTR>(parseLong(word)));
    return IsWindow(window) ? window : nullptr;
}
