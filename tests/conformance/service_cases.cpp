// The service control manager and the spooler service: opening with the installer's
// rights, and stop and start from each state the service can be in.
#include <cstring>

#include "battery.h"

namespace conformance {

namespace {

const DWORD kManagerAccess = 0xF0001;
const DWORD kCheckAccess = SERVICE_QUERY_STATUS | SERVICE_START;
const DWORD kRestartAccess = kCheckAccess | SERVICE_STOP;

SERVICE_STATUS poisonedStatus() {
    SERVICE_STATUS s;
    std::memset(&s, 0xAB, sizeof s);
    return s;
}

// The status is defined when the call succeeds or the control was refused for the service's
// state (1051, 1052, 1061, 1062); elsewhere only whether it was written counts.
std::string shown(const SERVICE_STATUS& s, DWORD error) {
    SERVICE_STATUS poisoned = poisonedStatus();
    if (std::memcmp(&s, &poisoned, sizeof s) == 0) {
        return "status=-";
    }
    if (error != kPoison && (error < 1051 || error > 1062 || (error > 1052 && error < 1061))) {
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

void query(const char* id, SC_HANDLE service) {
    SERVICE_STATUS s = poisonedStatus();
    CASE(id, "", QueryServiceStatus(service, &s), flag, shown(s, error_));
}

void control(const char* id, SC_HANDLE service, DWORD code) {
    SERVICE_STATUS s = poisonedStatus();
    CASE(id, num(code), ControlService(service, code, &s), flag, shown(s, error_));
}

// The installer's wait: a query every 200 ms, 50 times at most.
bool waitFor(SC_HANDLE service, DWORD state) {
    SERVICE_STATUS s = {};
    return poll(50, 200,
                [&] { return QueryServiceStatus(service, &s), s.dwCurrentState == state; });
}

std::string reached(bool ok) {
    return ok ? "reached" : "timeout";
}

void stateCases(SC_HANDLE manager) {
    SC_HANDLE spooler = OpenServiceW(manager, L"Spooler", kRestartAccess);
    SC_HANDLE checker = OpenServiceW(manager, L"Spooler", kCheckAccess);
    SC_HANDLE starter = OpenServiceW(manager, L"Spooler", SERVICE_START);
    SC_HANDLE querier = OpenServiceW(manager, L"Spooler", SERVICE_QUERY_STATUS);
    SC_HANDLE all = OpenServiceW(manager, L"Spooler", SERVICE_ALL_ACCESS);
    StartServiceW(spooler, 0, nullptr); // a fresh machine need not run it yet
    waitFor(spooler, SERVICE_RUNNING);
    query("svc.running.query", spooler);
    CASE("svc.running.start", "", StartServiceW(spooler, 0, nullptr), flag);
    control("svc.running.pause", all, SERVICE_CONTROL_PAUSE);
    control("svc.running.pause-without-right", spooler, SERVICE_CONTROL_PAUSE);
    control("svc.running.undefined-control", all, 0);
    control("svc.running.interrogate", all, SERVICE_CONTROL_INTERROGATE);
    control("svc.running.stop-without-right", checker, SERVICE_CONTROL_STOP);
    query("svc.query.without-right", starter);

    // Whether the answer still says STOP_PENDING is the service's timing, not the call's.
    SERVICE_STATUS s = poisonedStatus();
    CASE("svc.running.stop", "1", ControlService(spooler, SERVICE_CONTROL_STOP, &s), flag,
         std::string("state=") +
             (s.dwCurrentState == SERVICE_STOP_PENDING || s.dwCurrentState == SERVICE_STOPPED
                  ? "stopping"
                  : num(s.dwCurrentState)));
    CASE("svc.running.stop-wait", "", waitFor(spooler, SERVICE_STOPPED), reached);
    query("svc.stopped.query", spooler);
    control("svc.stopped.stop", spooler, SERVICE_CONTROL_STOP);
    control("svc.stopped.stop-without-right", checker, SERVICE_CONTROL_STOP);
    CASE("svc.stopped.start-without-right", "", StartServiceW(querier, 0, nullptr), flag);
    CASE("svc.stopped.start", "", StartServiceW(spooler, 0, nullptr), flag);
    query("svc.started.query", spooler);
    CASE("svc.started.wait", "", waitFor(spooler, SERVICE_RUNNING), reached);

    for (SC_HANDLE h : {all, querier, starter, checker}) {
        CloseServiceHandle(h);
    }
    CASE("svc.close.open", "", CloseServiceHandle(spooler), flag);
    CASE("svc.close.twice", "", CloseServiceHandle(spooler), flag);
    CASE("svc.close.null", "", CloseServiceHandle(nullptr), flag);
}

} // namespace

void serviceCases() {
    // With the first program of a new Wine prefix its service manager may still be starting.
    SC_HANDLE manager = nullptr;
    poll(100, 200,
         [&] { return (manager = OpenSCManagerW(nullptr, nullptr, kManagerAccess)) != nullptr; });
    const Row<const WCHAR*, DWORD>
        managers[] = {{"scm.open.installer-rights", nullptr, kManagerAccess},
                      {"scm.open.by-database-name", L"ServicesActive", SC_MANAGER_CONNECT},
                      {"scm.open.unknown-database", L"DoesNotExist", SC_MANAGER_CONNECT}},
        services[] = {{"svc.open.spooler", L"spooler", kCheckAccess},
                      {"svc.open.upper-case", L"SPOOLER", kRestartAccess},
                      {"svc.open.not-installed", L"NoSuchService", kCheckAccess},
                      {"svc.open.display-name", L"Print Spooler", kCheckAccess}};
    for (const auto& [id, name, access] : managers) {
        CloseServiceHandle(CASE(id, text(name), OpenSCManagerW(nullptr, name, access), handle));
    }
    for (const auto& [id, name, access] : services) {
        CloseServiceHandle(CASE(id, text(name), OpenServiceW(manager, name, access), handle));
    }
    CASE("svc.open.null-manager", "", OpenServiceW(nullptr, L"spooler", kCheckAccess), handle);
    stateCases(manager);
    CloseServiceHandle(manager);
}

void withSpoolerStopped(void (*cases)()) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, kManagerAccess);
    SC_HANDLE spooler = OpenServiceW(manager, L"Spooler", kRestartAccess);
    SERVICE_STATUS s = {};
    ControlService(spooler, SERVICE_CONTROL_STOP, &s);
    CASE("spooler.stop-wait", "", waitFor(spooler, SERVICE_STOPPED), reached);
    cases();
    StartServiceW(spooler, 0, nullptr);
    CASE("spooler.start-wait", "", waitFor(spooler, SERVICE_RUNNING), reached);
    CloseServiceHandle(spooler);
    CloseServiceHandle(manager);
}

} // namespace conformance
