// Port monitors: the list, AddMonitorW loading the DLL as the spooler does, and the DLL
// the running spooler keeps mapped.
#include <string>

#include "battery.h"
#include "report.h"
#include "spooler_support.h"

namespace conformance {

namespace {

struct AddRow {
    const char* id;
    const WCHAR* name;
    const WCHAR* environment;
    const WCHAR* dll;
    DWORD level;
};

const AddRow kAdds[] = {
    {"monitor.add.new", kMonitor, kEnvironment, L"confmon.dll", 2},
    {"monitor.add.installed", kMonitor, kEnvironment, L"confmon.dll", 2},
    {"monitor.add.installed-other-case", L"conf:", kEnvironment, L"confmon.dll", 2},
    {"monitor.add.built-in", L"local port", kEnvironment, L"confmon.dll", 2},
    {"monitor.add.dll-missing", L"M1:", kEnvironment, L"missing.dll", 2},
    {"monitor.add.dll-not-a-monitor", L"M1:", kEnvironment, L"confplain.dll", 2},
    {"monitor.add.empty-name", L"", kEnvironment, L"confmon.dll", 2},
    {"monitor.add.empty-dll", L"M1:", kEnvironment, L"", 2},
    {"monitor.add.level-1", L"M1:", kEnvironment, L"confmon.dll", 1},
    {"monitor.add.unknown-environment", L"M1:", L"Windows Bogus", L"confmon.dll", 2},
    {"monitor.add.other-environment", L"M1:", L"Windows NT x86", L"confmon.dll", 2},
    {"monitor.add.environment-other-case", L"M1:", L"WINDOWS X64", L"confmon.dll", 2},
    {"monitor.add.full-path", L"M1:", kEnvironment, L"C:\\Windows\\system32\\confmon.dll", 2},
};

std::string monitors(const BYTE* buffer, DWORD count) {
    std::string out;
    const MONITOR_INFO_2W* info = reinterpret_cast<const MONITOR_INFO_2W*>(buffer);
    for (DWORD i = 0; i < count; ++i) {
        out += "[" + text(info[i].pName) + " " + text(info[i].pEnvironment) + " " +
               path(info[i].pDLLName) + "]";
    }
    return out;
}

void enumerate(const std::string& id) {
    probeAndFill(
        id, "EnumMonitorsW(2)",
        [](LPBYTE b, DWORD n, DWORD* need, DWORD* count) {
            return EnumMonitorsW(nullptr, 2, b, n, need, count);
        },
        monitors);
}

void addCases() {
    for (const AddRow& row : kAdds) {
        MONITOR_INFO_2W info = {arg(row.name), arg(row.environment), arg(row.dll)};
        poison();
        BOOL ok = AddMonitorW(nullptr, row.level, reinterpret_cast<LPBYTE>(&info));
        DWORD error = GetLastError();
        line(row.id,
             "AddMonitorW(" + text(row.name) + "," + text(row.environment) + "," + text(row.dll) +
                 "," + num(row.level) + ")",
             flag(ok), error);
        DeleteMonitorW(nullptr, nullptr, arg(L"M1:"));
    }
}

// What a program can do to the monitor DLL while the spooler has it loaded: open it for
// writing, then (unless deleteId is null) delete it.
void heldCases(const char* writeId, const char* deleteId) {
    const WCHAR dll[] = L"C:\\Windows\\system32\\confmon.dll";
    poison();
    HANDLE h = CreateFileW(dll, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    line(writeId, "CreateFileW(confmon.dll, write)", handle(h), GetLastError());
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
    }
    if (deleteId) {
        poison();
        BOOL ok = DeleteFileW(dll);
        line(deleteId, "DeleteFileW(confmon.dll)", flag(ok), GetLastError());
    }
}

struct DeleteRow {
    const char* id;
    const WCHAR* environment;
    const WCHAR* name;
};

const DeleteRow kDeletes[] = {
    {"monitor.delete.unknown", nullptr, L"Nobody:"},
    {"monitor.delete.empty-name", nullptr, L""},
    {"monitor.delete.unknown-environment", L"Windows Bogus", L"Nobody:"},
};

} // namespace

void monitorCases() {
    copyFile(L"C:\\conf\\bin\\confmon.dll", L"C:\\Windows\\system32\\confmon.dll");
    copyFile(L"C:\\conf\\bin\\confdrv.dll", L"C:\\Windows\\system32\\confplain.dll");
    enumerate("monitor.enum.fresh");
    addCases();
    enumerate("monitor.enum.added");
    heldCases("monitor.held.write", "monitor.held.delete");
    for (const DeleteRow& row : kDeletes) {
        poison();
        BOOL ok = DeleteMonitorW(nullptr, arg(row.environment), arg(row.name));
        line(row.id, "DeleteMonitorW(" + text(row.environment) + "," + text(row.name) + ")",
             flag(ok), GetLastError());
    }
}

// The monitor's DLL while the spooler is stopped, then once it runs again.
void heldWhileStopped() {
    heldCases("monitor.stopped.write", nullptr);
}

void heldAfterRestart() {
    heldCases("monitor.restarted.write", "monitor.restarted.delete");
}

} // namespace conformance
