// What the spooler families share: the objects the battery installs, the probe-then-fill
// protocol of every INFO query, and printer handles by name.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <functional>

#include "battery.h"

namespace conformance {

constexpr WCHAR kMonitor[] = L"CONF:";           // the stub monitor, whose one port has its name
constexpr WCHAR kDriver[] = L"Conf driver";      // the stub driver
constexpr WCHAR kPrinter[] = L"Conf printer";    // on the monitor's port
constexpr WCHAR kSecond[] = L"Conf second";      // on LPT1:
constexpr WCHAR kEnvironment[] = L"Windows x64"; // the spooler's own
#define CONF_DRIVER_DIR L"C:\\Windows\\system32\\spool\\drivers\\x64" // of that environment

// buffer, its size, needed, returned (a Get* call has no count and ignores it).
using Query = std::function<BOOL(LPBYTE, DWORD, DWORD*, DWORD*)>;

// The probe (no buffer), a buffer one byte short, and the exact size: cases "<id>.probe",
// "<id>.short", "<id>.exact", each filled entry shown as "[fields]". Sizes are shown relative
// to the probe's answer, which differs between implementations (a driver-made DEVMODE,
// string lengths); an answer that fits the probe ends there. The count starts as `count`: 1
// for a Get* call, which fills one entry.
void probeAndFill(const std::string& id, const std::string& call, const Query& query,
                  const std::function<std::string(const BYTE*, DWORD)>& entries, DWORD count);
template <typename Info, typename Fields>
void probeAndFill(const std::string& id, const std::string& call, const Query& query, Fields fields,
                  DWORD count = kPoison) {
    probeAndFill(
        id, call, query,
        [fields](const BYTE* buffer, DWORD n) {
            std::string out;
            for (DWORD i = 0; i < n; ++i) {
                out += "[" + fields(reinterpret_cast<const Info*>(buffer)[i]) + "]";
            }
            return out;
        },
        count);
}

HANDLE openPrinter(const WCHAR* name, ACCESS_MASK access);
// What a printer's handle and a monitor's DLL allow while the spooler has them.
void heldMonitorCases(const char* writeId, const char* deleteId);

} // namespace conformance
