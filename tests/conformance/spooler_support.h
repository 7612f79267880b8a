// What the spooler families share: the objects the battery installs, the probe-then-fill
// protocol of every INFO query, and printer handles by name.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <functional>
#include <string>

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

// Each entry of an INFO array as "[fields]".
template <typename Info, typename Fields> Describe entries(Fields fields) {
    return [fields](const BYTE* buffer, DWORD count) {
        std::string out;
        for (DWORD i = 0; i < count; ++i) {
            out += "[" + fields(reinterpret_cast<const Info*>(buffer)[i]) + "]";
        }
        return out;
    };
}

// The probe (no buffer), a buffer one byte short, and the exact size: cases "<id>.probe",
// "<id>.short", "<id>.exact". Sizes are shown relative to the probe's answer, which
// differs between implementations (a driver-made DEVMODE, string lengths); an answer that
// fits the probe ends there.
void probeAndFill(const std::string& id, const std::string& call, const Query& query,
                  const Describe& describe);

HANDLE openPrinter(const WCHAR* name, ACCESS_MASK access);
// What a printer's handle and a monitor's DLL allow while the spooler has them.
void heldMonitorCases(const char* writeId, const char* deleteId);

} // namespace conformance
