#include "system/spooler_service.h"

#include "record/install_context.h"
#include "log/install_log.h"

namespace {

const WCHAR kSpoolerService[] = L"spooler";
const DWORD kManagerAccess = STANDARD_RIGHTS_REQUIRED | SC_MANAGER_CONNECT;
const DWORD kCheckAccess = SERVICE_QUERY_STATUS | SERVICE_START;
const DWORD kRestartAccess = SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP;
// The service gets 50 x 200 ms = 10 s to reach the state waited for, with 51 queries.
const int kStatePolls = 50;
const DWORD kStatePollMs = 200;

// A failed query leaves the last state seen, so a service that cannot be asked is waited
// for to the end.
bool waitForState(SC_HANDLE service, DWORD state) {
    SERVICE_STATUS status = {};
    QueryServiceStatus(service, &status);
    for (int poll = 0; poll < kStatePolls; ++poll) {
        if (status.dwCurrentState == state) {
            return true;
        }
        Sleep(kStatePollMs);
        QueryServiceStatus(service, &status);
    }
    return status.dwCurrentState == state;
}

// A status query that fails starts nothing and still counts as running: the spooler may
// well run, and starting it blindly would only add a second error.
bool startSpoolerIfStopped(InstallContext& context, SC_HANDLE manager) {
    SC_HANDLE service = OpenServiceW(manager, kSpoolerService, kCheckAccess);
    if (service == nullptr) {
        logError(context, 2, L"Can't open the spooler");
        return false;
    }
    bool running = true;
    SERVICE_STATUS status = {};
    if (QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_RUNNING &&
        !startServiceAndWait(service)) {
        logError(context, 4, L"Can't start the spooler");
        running = false;
    }
    CloseServiceHandle(service);
    return running;
}

bool openAndCheckSpooler(InstallContext& context) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, kManagerAccess);
    if (manager == nullptr) {
        logError(context, 1, L"Can't open service manager.");
        return false;
    }
    bool running = startSpoolerIfStopped(context, manager);
    CloseServiceHandle(manager);
    return running;
}

// Stopping a spooler that is not running fails with ERROR_SERVICE_NOT_ACTIVE, which is
// exactly what the guard wants: nothing to report.
void stopSpooler(SpoolerRestart& guard) {
    SERVICE_STATUS status = {};
    if (!ControlService(guard.service, SERVICE_CONTROL_STOP, &status)) {
        DWORD error = GetLastError();
        if (error != ERROR_SERVICE_NOT_ACTIVE && guard.context != nullptr) {
            logError(*guard.context, 5, L"ControlService failed with code %d (0x%x)", error, error);
        }
    }
    guard.stopRequested = true;
    if (!waitForState(guard.service, SERVICE_STOPPED) && guard.context != nullptr) {
        logError(*guard.context, 3, L"Can't stop the spooler");
    }
}

} // namespace

bool startServiceAndWait(SC_HANDLE service) {
    StartServiceW(service, 0, nullptr);
    return waitForState(service, SERVICE_RUNNING);
}

bool checkSpooler(InstallContext& context) {
    logLine(context, L">Check Spooler");
    ++context.logDepth;
    bool running = openAndCheckSpooler(context);
    --context.logDepth;
    return running;
}

SpoolerRestart::SpoolerRestart(InstallContext* context)
    : context(context), manager(nullptr), service(nullptr), stopRequested(false) {
    if (context != nullptr) {
        logLine(*context, L">Restart Spooler");
    }
    manager = OpenSCManagerW(nullptr, nullptr, kManagerAccess);
    if (manager == nullptr) {
        if (context != nullptr) {
            logError(*context, 1, L"Can't open service manager.");
        }
        return;
    }
    service = OpenServiceW(manager, kSpoolerService, kRestartAccess);
    if (service == nullptr) {
        if (context != nullptr) {
            logError(*context, 2, L"Can't open the spooler");
        }
        return;
    }
    stopSpooler(*this);
}

// The spooler is started again even when it was stopped before the guard: whoever asked
// for a restart wants it running afterwards.
SpoolerRestart::~SpoolerRestart() {
    if (service != nullptr) {
        if (stopRequested && !startServiceAndWait(service) && context != nullptr) {
            logError(*context, 4, L"Can't start the spooler");
        }
        CloseServiceHandle(service);
    }
    if (manager != nullptr) {
        CloseServiceHandle(manager);
    }
}
