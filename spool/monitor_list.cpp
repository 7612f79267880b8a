#include "spool/monitor_list.h"

#include "log/install_log.h"
#include "log/text_utils.h"
#include "spool/probe_and_fill.h"
#include "spool/product_names.h"

namespace {

const DWORD kMonitorLevel = 2;
const DWORD kSystemTextFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
const DWORD kEnglishUnitedStates = 1033;

// These lines carry the system text as FormatMessageW hands it over, line break and all.
void logEnumFailure(InstallContext& context, const WCHAR* format) {
    DWORD error = GetLastError();
    WCHAR* text = nullptr;
    if (FormatMessageW(kSystemTextFlags, nullptr, error, kEnglishUnitedStates,
                       reinterpret_cast<LPWSTR>(&text), 0, nullptr) == 0) {
        text = nullptr;
    }
    logLine(context, format, text != nullptr ? text : L"No Error or no description");
    if (text != nullptr) {
        LocalFree(text);
    }
}

const WCHAR* monitorName(const MonitorList& list, DWORD index) {
    if (list.level == 1) {
        return reinterpret_cast<const MONITOR_INFO_1W*>(list.monitors)[index].pName;
    }
    if (list.level == 2) {
        return list.monitors[index].pName;
    }
    return nullptr;
}

} // namespace

void enumerateMonitors(MonitorList& list, InstallContext& context) {
    list = MonitorList{nullptr, kMonitorLevel, 0};
    BYTE* buffer = nullptr;
    DWORD needed = 0;
    auto enumerate = [&list](BYTE* into, DWORD size, DWORD& needs) {
        return EnumMonitorsW(nullptr, kMonitorLevel, into, size, &needs, &list.count);
    };
    switch (probeAndFill(enumerate, ProbeRule::successMeansEmpty, 0, buffer, needed)) {
    case QueryOutcome::filled:
        list.monitors = reinterpret_cast<MONITOR_INFO_2W*>(buffer);
        return;
    case QueryOutcome::nothingToList:
        logLine(context, L"1. EnumMonitors returns true");
        break;
    case QueryOutcome::probeFailed:
        logEnumFailure(context, L"2. EnumMonitors  failed with code: %s");
        break;
    case QueryOutcome::noMemory:
        logLine(context, L"3. EnumMonitors - can't allocate memory for buffer");
        // The caller sees the allocation failure, whatever writing the line did.
        SetLastError(static_cast<DWORD>(E_OUTOFMEMORY));
        break;
    case QueryOutcome::fillFailed:
        logEnumFailure(context, L"3. EnumMonitors  failed with code: %s");
        break;
    }
    list.count = 0;
}

int findProductMonitor(const MonitorList& list) {
    for (DWORD i = 0; i < list.count; ++i) {
        const WCHAR* name = monitorName(list, i);
        if (name != nullptr && sameText(name, kProductMonitor)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void logMonitorList(InstallContext& context, const MonitorList& list) {
    logLine(context, L"------- %d existing monitors ----------", static_cast<int>(list.count));
    for (DWORD i = 0; i < list.count; ++i) {
        const WCHAR* name = list.monitors[i].pName;
        logLine(context, L"%d. %s", static_cast<int>(i + 1),
                name != nullptr ? name : L"***EMPTY***");
    }
    logLine(context, L"---------------------------------------");
}
