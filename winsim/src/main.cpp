// The Linux program: what the C runtime and the loader do on Windows before wWinMain.
// It loads the machine (a fresh one when the directory holds none yet), gives the
// program its command line, calls wWinMain, saves the machine and exits with its code.
// Each dialog the run showed is printed (its title, then the text of its edit box) and was
// closed the way the machine's knob says.
//   folioinst [words...]        run the installer with these words
//   folioinst --fresh-machine   replace the machine directory's machine by a fresh Windows one
//   folioinst --reboot          restart the saved machine (boot-time file operations run)
//   folioinst --demo-machine    a fresh machine with the product's files beside the program
//   folioinst --describe        print what the saved machine holds
//   folioinst --shift down|up   the person at the machine holds Shift down, or lets it go
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "winsim/control.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

namespace {

const int kShowDefault = 10;  // SW_SHOWDEFAULT
const int kToolFailure = 125; // the machine could not be loaded or saved

// What the C runtime hands to WinMain: the command line after the program name.
LPWSTR argumentsOf(LPWSTR line) {
    LPWSTR p = line;
    if (*p == L'"') {
        for (++p; *p && *p != L'"'; ++p) {
        }
        if (*p) {
            ++p;
        }
    } else {
        while (*p && *p != L' ' && *p != L'\t') {
            ++p;
        }
    }
    while (*p == L' ' || *p == L'\t') {
        ++p;
    }
    return p;
}

// The edit box shows Windows line ends; a Linux terminal wants its own.
void printDialogs() {
    const int kEditBox = 1001;
    for (const winsim::control::ShownDialog& dialog : winsim::control::shownDialogs()) {
        auto edit = dialog.controls.find(kEditBox);
        std::string text = edit == dialog.controls.end() ? std::string() : edit->second;
        for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
            text.erase(at, 1);
        }
        if (!text.empty() && text.back() != '\n') {
            text += '\n';
        }
        std::printf("%s\n%s", dialog.title.c_str(), text.c_str());
    }
}

int freshMachineCommand(const std::string& dir, void (*make)(const std::string&)) {
    make(dir);
    if (!winsim::control::saveMachine(dir)) {
        std::fprintf(stderr, "folioinst: cannot save a fresh machine to %s\n", dir.c_str());
        return kToolFailure;
    }
    return 0;
}

// Loads the saved machine, changes it and saves it back.
int changeCommand(const std::string& dir, void (*change)()) {
    if (!winsim::control::loadMachine(dir)) {
        std::fprintf(stderr, "folioinst: cannot load the machine in %s\n", dir.c_str());
        return kToolFailure;
    }
    change();
    if (!winsim::control::saveMachine(dir)) {
        std::fprintf(stderr, "folioinst: cannot save the machine to %s\n", dir.c_str());
        return kToolFailure;
    }
    return 0;
}

int describeCommand(const std::string& dir) {
    if (!winsim::control::loadMachine(dir)) {
        std::fprintf(stderr, "folioinst: cannot load the machine in %s\n", dir.c_str());
        return kToolFailure;
    }
    std::fputs(winsim::control::describeMachine().c_str(), stdout);
    return 0;
}

int runCommand(const std::string& dir, int argc, char** argv) {
    if (!winsim::control::machineExists(dir)) {
        winsim::control::windowsMachine(dir);
    } else if (!winsim::control::loadMachine(dir)) {
        std::fprintf(stderr, "folioinst: cannot load the machine in %s\n", dir.c_str());
        return kToolFailure;
    }
    winsim::control::setCommandWords(std::vector<std::string>(argv + 1, argv + argc));
    HINSTANCE instance = static_cast<HINSTANCE>(winsim::control::programInstance());
    int exitCode = wWinMain(instance, nullptr, argumentsOf(GetCommandLineW()), kShowDefault);
    printDialogs();
    if (!winsim::control::saveMachine(dir)) {
        std::fprintf(stderr, "folioinst: cannot save the machine to %s\n", dir.c_str());
        return kToolFailure;
    }
    return exitCode;
}

} // namespace

int main(int argc, char** argv) {
    const std::string dir = winsim::control::defaultMachineDir();
    if (argc == 2 && std::strcmp(argv[1], "--fresh-machine") == 0) {
        return freshMachineCommand(dir, winsim::control::windowsMachine);
    }
    if (argc == 2 && std::strcmp(argv[1], "--demo-machine") == 0) {
        return freshMachineCommand(dir, winsim::control::demoMachine);
    }
    if (argc == 2 && std::strcmp(argv[1], "--describe") == 0) {
        return describeCommand(dir);
    }
    if (argc == 2 && std::strcmp(argv[1], "--reboot") == 0) {
        return changeCommand(dir, winsim::control::reboot);
    }
    if (argc == 3 && std::strcmp(argv[1], "--shift") == 0) {
        bool down = std::strcmp(argv[2], "down") == 0;
        return changeCommand(
            dir, down ? [] { winsim::control::setShiftHeld(true); }
                      : [] { winsim::control::setShiftHeld(false); });
    }
    return runCommand(dir, argc, argv);
}
