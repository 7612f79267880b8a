// The command words of the program, tested in table order; the first match wins.
#pragma once

#include <windows.h>

// Exit code of a missing or unknown command word, and of a command that does nothing.
const int kExitNoCommand = 6;

enum class CommandMatch {
    AnyCase, // whole word, A-Z equal a-z (as _wcsicmp in the default locale)
    Exact,   // whole word, letter case significant
};

// Runs a command with the owner window of its dialog (null for none); returns the exit code.
typedef int (*CommandAction)(HWND owner);

struct Command {
    const WCHAR* words[3]; // spellings of the command; unused slots are null
    CommandMatch match;
    CommandAction action;
};

// The table row that word selects, or null when it is no command.
const Command* findCommand(const WCHAR* word);
// Runs the selected command; an unknown word exits with 6.
int runCommand(const WCHAR* word, HWND owner);
// The owner window named by a decimal word (read as _wtol, sign-extended from 32 bits),
// or null when it is no window.
HWND ownerWindowFrom(const WCHAR* word);
