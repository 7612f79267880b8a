#include <windows.h>
#include <shellapi.h>

#include "app/commands.h"
#include "app/module_instance.h"

// The owner window is only taken from a command line of exactly three words; with more,
// every word after the command is ignored.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    moduleInstance = instance;
    int wordCount = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &wordCount);
    if (words == nullptr) {
        return kExitNoCommand;
    }
    int exitCode = kExitNoCommand;
    if (wordCount >= 2) {
        HWND owner = wordCount == 3 ? ownerWindowFrom(words[2]) : nullptr;
        exitCode = runCommand(words[1], owner);
    }
    LocalFree(words);
    return exitCode;
}
