// What the spooler families share: the probe-then-fill protocol of every INFO query, the
// names of the objects the battery installs, and printer handles by name.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <functional>
#include <string>
#include <vector>

namespace conformance {

extern const WCHAR kMonitor[];     // the stub monitor, whose one port has its name
extern const WCHAR kDriver[];      // the stub driver
extern const WCHAR kPrinter[];     // on the monitor's port
extern const WCHAR kSecond[];      // on LPT1:
extern const WCHAR kEnvironment[]; // the spooler's own, "Windows x64"
extern const WCHAR kDriverDir[];   // the driver directory of that environment

// buffer, its size, needed, returned (1 for the Get* queries).
using Query = std::function<BOOL(LPBYTE, DWORD, DWORD*, DWORD*)>;
// The entries of a filled buffer, one text.
using Describe = std::function<std::string(const BYTE*, DWORD count)>;

// The probe (no buffer), a buffer one byte short, and the exact size, each a case
// "<id>.probe", "<id>.short", "<id>.exact"; an answer that fits the probe ends there.
void probeAndFill(const std::string& id, const std::string& call, const Query& query,
                  const Describe& describe);

// A path as text, lower-cased: Windows spells its own directories in either case.
std::string path(const WCHAR* s);

HANDLE openPrinter(const WCHAR* name, ACCESS_MASK access);
// Deletes the printer if it exists; the cases' way back to a known state.
void dropPrinter(const WCHAR* name);

} // namespace conformance
