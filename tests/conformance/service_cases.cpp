// The service control manager and the spooler service: opening with the installer's
// rights, and stop and start from each state the service can be in.
#include <cstring>
#include <string>

#include "battery.h"
#include "report.h"

namespace conformance {

namespace {

const DWORD kManagerAccess = 0xF0001;
const DWORD kCheckAccess = SERVICE_QUERY_STATUS | SERVICE_START;
const DWORD kRestartAccess = kCheckAccess | SERVICE_STOP;

// The status is defined only when the call succeeds or the control was refused for the
// service's state (1051, 1052, 1061, 1062); elsewhere only whether it was written counts.
std::string status(const SERVICE_STATUS& s, DWORD error) {
    SERVICE_STATUS poisoned;
    std::memset(&poisoned, 0xAB, sizeof poisoned);
    if (std::memcmp(&s, &poisoned, sizeof s) == 0) {
        return "status=-";
    }
    if (error != kPoison && error != ERROR_DEPENDENT_SERVICES_RUNNING &&
        error != ERROR_INVALID_SERVICE_CONTROL && error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL &&
        error != ERROR_SERVICE_NOT_ACTIVE) {
        return "status=written";
    }
    if (s.dwCurrentState < SERVICE_STOPPED || s.dwCurrentState > SERVICE_PAUSED) {
        return "status=garbage";
    }
    // Whether the service takes a stop now is what a caller acts on.
    return "state=" + num(s.dwCurrentState) +
           " stoppable=" + (s.dwControlsAccepted & SERVICE_ACCEPT_STOP ? "yes" : "no") +
           " exit=" + num(s.dwWin32ExitCode);
}

SERVICE_STATUS poisonedStatus() {
    SERVICE_STATUS s;
    std::memset(&s, 0xAB, sizeof s);
    return s;
}

struct ManagerRow {
    const char* id;
    const WCHAR* database;
    DWORD access;
};

const ManagerRow kManagers[] = {
    {"scm.open.installer-rights", nullptr, kManagerAccess},
    {"scm.open.by-database-name", L"ServicesActive", SC_MANAGER_CONNECT},
    {"scm.open.unknown-database", L"DoesNotExist", SC_MANAGER_CONNECT},
};

struct ServiceRow {
    const char* id;
    const WCHAR* name;
    DWORD access;
};

const ServiceRow kServices[] = {
    {"svc.open.spooler", L"spooler", kCheckAccess},
    {"svc.open.upper-case", L"SPOOLER", kRestartAccess},
    {"svc.open.not-installed", L"NoSuchService", kCheckAccess},
    {"svc.open.display-name", L"Print Spooler", kCheckAccess},
};

void openCases(SC_HANDLE manager) {
    for (const ManagerRow& row : kManagers) {
        poison();
        SC_HANDLE h = OpenSCManagerW(nullptr, row.database, row.access);
        DWORD error = GetLastError();
        line(row.id, "OpenSCManagerW(" + text(row.database) + "," + hex(row.access) + ")",
             handle(h), error);
        CloseServiceHandle(h);
    }
    for (const ServiceRow& row : kServices) {
        poison();
        SC_HANDLE h = OpenServiceW(manager, row.name, row.access);
        DWORD error = GetLastError();
        line(row.id, "OpenServiceW(" + text(row.name) + "," + hex(row.access) + ")", handle(h),
             error);
        CloseServiceHandle(h);
    }
    poison();
    SC_HANDLE h = OpenServiceW(nullptr, L"spooler", kCheckAccess);
    line("svc.open.null-manager", "OpenServiceW(NULL manager)", handle(h), GetLastError());
}

void query(const char* id, SC_HANDLE service) {
    SERVICE_STATUS s = poisonedStatus();
    poison();
    BOOL ok = QueryServiceStatus(service, &s);
    DWORD error = GetLastError();
    line(id, "QueryServiceStatus()", flag(ok), error, status(s, error));
}

void control(const char* id, SC_HANDLE service, DWORD code) {
    SERVICE_STATUS s = poisonedStatus();
    poison();
    BOOL ok = ControlService(service, code, &s);
    DWORD error = GetLastError();
    line(id, "ControlService(" + num(code) + ")", flag(ok), error, status(s, error));
}

void start(const char* id, SC_HANDLE service) {
    poison();
    BOOL ok = StartServiceW(service, 0, nullptr);
    line(id, "StartServiceW()", flag(ok), GetLastError());
}

// The installer's wait: a query every 200 ms, 50 times at most.
void waitFor(const char* id, SC_HANDLE service, DWORD state) {
    SERVICE_STATUS s = {};
    QueryServiceStatus(service, &s);
    for (int i = 0; i < 50 && s.dwCurrentState != state; ++i) {
        Sleep(200);
        QueryServiceStatus(service, &s);
    }
    if (id) {
        line(id, "wait for state " + num(state), s.dwCurrentState == state ? "reached" : "timeout",
             kPoison);
    }
}

void stateCases(SC_HANDLE manager) {
    SC_HANDLE spooler = OpenServiceW(manager, L"Spooler", kRestartAccess);
    SC_HANDLE checker = OpenServiceW(manager, L"Spooler", kCheckAccess);
    SC_HANDLE starter = OpenServiceW(manager, L"Spooler", SERVICE_START);
    SC_HANDLE querier = OpenServiceW(manager, L"Spooler", SERVICE_QUERY_STATUS);
    SC_HANDLE all = OpenServiceW(manager, L"Spooler", SERVICE_ALL_ACCESS);
    SERVICE_STATUS s = {};
    QueryServiceStatus(spooler, &s);
    if (s.dwCurrentState != SERVICE_RUNNING) {
        StartServiceW(spooler, 0, nullptr);
        waitFor(nullptr, spooler, SERVICE_RUNNING);
    }
    query("svc.running.query", spooler);
    start("svc.running.start", spooler);
    control("svc.running.pause", all, SERVICE_CONTROL_PAUSE);
    control("svc.running.pause-without-right", spooler, SERVICE_CONTROL_PAUSE);
    control("svc.running.undefined-control", all, 0);
    control("svc.running.interrogate", all, SERVICE_CONTROL_INTERROGATE);
    control("svc.running.stop-without-right", checker, SERVICE_CONTROL_STOP);
    query("svc.query.without-right", starter);

    SERVICE_STATUS stopped = poisonedStatus();
    poison();
    BOOL ok = ControlService(spooler, SERVICE_CONTROL_STOP, &stopped);
    DWORD error = GetLastError();
    // Whether the answer still says STOP_PENDING is the service's timing, not the call's.
    line("svc.running.stop", "ControlService(1)", flag(ok), error,
         "state=" + std::string(stopped.dwCurrentState == SERVICE_STOP_PENDING ||
                                        stopped.dwCurrentState == SERVICE_STOPPED
                                    ? "stopping"
                                    : num(stopped.dwCurrentState)));
    waitFor("svc.running.stop-wait", spooler, SERVICE_STOPPED);

    query("svc.stopped.query", spooler);
    control("svc.stopped.stop", spooler, SERVICE_CONTROL_STOP);
    control("svc.stopped.stop-without-right", checker, SERVICE_CONTROL_STOP);
    start("svc.stopped.start-without-right", querier);
    start("svc.stopped.start", spooler);
    query("svc.started.query", spooler);
    waitFor("svc.started.wait", spooler, SERVICE_RUNNING);

    CloseServiceHandle(all);
    CloseServiceHandle(querier);
    CloseServiceHandle(starter);
    CloseServiceHandle(checker);
    poison();
    ok = CloseServiceHandle(spooler);
    line("svc.close.open", "CloseServiceHandle(service)", flag(ok), GetLastError());
    poison();
    ok = CloseServiceHandle(spooler);
    line("svc.close.twice", "CloseServiceHandle(closed)", flag(ok), GetLastError());
    poison();
    ok = CloseServiceHandle(nullptr);
    line("svc.close.null", "CloseServiceHandle(NULL)", flag(ok), GetLastError());
}

} // namespace

void serviceCases() {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, kManagerAccess);
    openCases(manager);
    stateCases(manager);
    CloseServiceHandle(manager);
}

// The spooler stopped: what the spooler's clients answer until it runs again.
void withSpoolerStopped(void (*cases)()) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, kManagerAccess);
    SC_HANDLE spooler = OpenServiceW(manager, L"Spooler", kRestartAccess);
    SERVICE_STATUS s = {};
    ControlService(spooler, SERVICE_CONTROL_STOP, &s);
    waitFor("spooler.stop-wait", spooler, SERVICE_STOPPED);
    cases();
    StartServiceW(spooler, 0, nullptr);
    waitFor("spooler.start-wait", spooler, SERVICE_RUNNING);
    CloseServiceHandle(spooler);
    CloseServiceHandle(manager);
}

} // namespace conformance
