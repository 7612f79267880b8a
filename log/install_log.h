// The run's log: indented lines ending in CR LF in the context's logText, and counted
// error lines that carry the system text of the thread's last error.
#pragma once

#include <windows.h>

struct InstallContext;

// Every formatted line fits in this many characters, NUL included; longer ones are cut.
const size_t kLogLineCapacity = 1024;

// Indentation of the current depth, text (null or empty allowed), CR LF.
void appendLogLine(InstallContext& context, const WCHAR* text);
// Formats one line with the product's formatter and appends it. Data is passed as an
// argument ("%s"), never as the format.
void logLine(InstallContext& context, const WCHAR* format, ...);
// Writes "Error(code): " and the formatted message, followed by the system text of the
// last error, and counts the error. Reads the last error before any other call and leaves
// it as it found it, so two reports of one failure show the same code.
void logError(InstallContext& context, int code, const WCHAR* format, ...);
