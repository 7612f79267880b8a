#include <windows.h>
#include <shellapi.h>

#include "app/commands.h"
#include "app/module_instance.h"

// The owner window is only taken from a command line of exactly three words; with more,
// every word after the command is ignored.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    // Elevated, perhaps started from a folder others can write to: every DLL loaded from
    // now on comes from the system directory, never from the program's own folder.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
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
