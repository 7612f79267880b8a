// The service control manager calls as advapi32 provides them. Every call that looks at a
// service first lets the transitions that are due by the virtual clock happen.
#include <windows.h>

#include "machine.h"
#include "winsim/text.h"

using winsim::machine;
using winsim::ScHandle;
using winsim::Service;
using winsim::ServiceManager;

namespace {

struct GenericMapping {
    DWORD read, write, execute, all;
};

constexpr GenericMapping kManagerMapping = {
    READ_CONTROL | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS,
    READ_CONTROL | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_MODIFY_BOOT_CONFIG,
    READ_CONTROL | SC_MANAGER_CONNECT | SC_MANAGER_LOCK, SC_MANAGER_ALL_ACCESS};

constexpr GenericMapping kServiceMapping = {
    READ_CONTROL | SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_INTERROGATE |
        SERVICE_ENUMERATE_DEPENDENTS,
    READ_CONTROL | SERVICE_CHANGE_CONFIG,
    READ_CONTROL | SERVICE_START | SERVICE_STOP | SERVICE_PAUSE_CONTINUE |
        SERVICE_USER_DEFINED_CONTROL,
    SERVICE_ALL_ACCESS};

// What the manager grants a caller without administrator rights: enough to look, not to
// change. 0xF0001 asks for DELETE, WRITE_DAC and WRITE_OWNER too, so it is refused.
constexpr DWORD kStandardUserManagerAccess =
    READ_CONTROL | SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS;

constexpr DWORD kGenericRights = GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL;

DWORD mapGeneric(DWORD access, const GenericMapping& mapping) {
    DWORD mapped = access & ~kGenericRights;
    mapped |= (access & GENERIC_READ) ? mapping.read : 0;
    mapped |= (access & GENERIC_WRITE) ? mapping.write : 0;
    mapped |= (access & GENERIC_EXECUTE) ? mapping.execute : 0;
    mapped |= (access & GENERIC_ALL) ? mapping.all : 0;
    return mapped;
}

// The right a control code needs; 0 for a code ControlService does not define.
DWORD rightFor(DWORD control) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        return SERVICE_STOP;
    case SERVICE_CONTROL_INTERROGATE:
        return SERVICE_INTERROGATE;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
    case SERVICE_CONTROL_PARAMCHANGE:
    case SERVICE_CONTROL_NETBINDADD:
    case SERVICE_CONTROL_NETBINDREMOVE:
    case SERVICE_CONTROL_NETBINDENABLE:
    case SERVICE_CONTROL_NETBINDDISABLE:
        return SERVICE_PAUSE_CONTINUE;
    default:
        return (control >= 128 && control <= 255) ? SERVICE_USER_DEFINED_CONTROL : 0;
    }
}

// ControlService reports the service's status along with these failures only.
bool failureFillsStatus(DWORD error) {
    return error == ERROR_DEPENDENT_SERVICES_RUNNING || error == ERROR_INVALID_SERVICE_CONTROL ||
           error == ERROR_SERVICE_CANNOT_ACCEPT_CTRL || error == ERROR_SERVICE_NOT_ACTIVE;
}

BOOL fail(DWORD error) {
    machine().lastError = error;
    return FALSE;
}

SC_HANDLE failOpen(DWORD error) {
    machine().lastError = error;
    return nullptr;
}

struct OpenedService {
    Service* service = nullptr; // null: not an open service handle (or its service is gone)
    DWORD access = 0;
};

OpenedService openedService(SC_HANDLE handle) {
    ServiceManager& scm = machine().services;
    const ScHandle* opened = scm.handle(handle);
    if (!opened || !opened->isService) {
        return {};
    }
    scm.settle(machine().clockMs);
    return {scm.find(opened->service), opened->access};
}

} // namespace

SC_HANDLE WINAPI OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName,
                                DWORD dwDesiredAccess) {
    ServiceManager& scm = machine().services;
    // The simulated machine answers to no name only; any other is a remote one that is not there.
    if (lpMachineName && lpMachineName[0]) {
        return failOpen(RPC_S_SERVER_UNAVAILABLE);
    }
    if (lpDatabaseName &&
        !winsim::sameNameIgnoringCase(winsim::toUtf8(lpDatabaseName), "ServicesActive")) {
        return failOpen(ERROR_INVALID_NAME);
    }
    DWORD wanted = mapGeneric(dwDesiredAccess, kManagerMapping);
    DWORD granted =
        machine().settings.administrator ? SC_MANAGER_ALL_ACCESS : kStandardUserManagerAccess;
    if (wanted & ~granted) {
        return failOpen(ERROR_ACCESS_DENIED);
    }
    // Connecting is implied: a handle opened with no rights still opens services.
    return scm.openHandle({false, std::string(), wanted | SC_MANAGER_CONNECT});
}

SC_HANDLE WINAPI OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess) {
    ServiceManager& scm = machine().services;
    const ScHandle* manager = scm.handle(hSCManager);
    if (!manager || manager->isService) {
        return failOpen(ERROR_INVALID_HANDLE);
    }
    if (!lpServiceName) {
        return failOpen(ERROR_INVALID_ADDRESS);
    }
    const Service* service = scm.find(winsim::toUtf8(lpServiceName));
    if (!service) {
        return failOpen(ERROR_SERVICE_DOES_NOT_EXIST);
    }
    DWORD wanted = mapGeneric(dwDesiredAccess, kServiceMapping);
    if (wanted & ~service->grantedAccess) {
        return failOpen(ERROR_ACCESS_DENIED);
    }
    return scm.openHandle({true, winsim::foldCase(service->name), wanted});
}

BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) {
    OpenedService opened = openedService(hService);
    if (!opened.service) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (!lpServiceStatus) {
        return fail(ERROR_INVALID_ADDRESS);
    }
    if (!(opened.access & SERVICE_QUERY_STATUS)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    *lpServiceStatus = machine().services.status(*opened.service);
    return TRUE;
}

BOOL WINAPI StartServiceW(SC_HANDLE hService, DWORD dwNumServiceArgs,
                          LPCWSTR* lpServiceArgVectors) {
    OpenedService opened = openedService(hService);
    if (!opened.service) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (!(opened.access & SERVICE_START)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    for (DWORD i = 0; i < dwNumServiceArgs; ++i) {
        if (!lpServiceArgVectors || !lpServiceArgVectors[i]) {
            return fail(ERROR_INVALID_PARAMETER);
        }
    }
    DWORD error = machine().services.start(*opened.service, machine().clockMs);
    return error == NO_ERROR ? TRUE : fail(error);
}

BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus) {
    OpenedService opened = openedService(hService);
    if (!opened.service) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (!lpServiceStatus) {
        return fail(ERROR_INVALID_ADDRESS);
    }
    DWORD right = rightFor(dwControl);
    if (!right) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!(opened.access & right)) {
        return fail(ERROR_ACCESS_DENIED);
    }
    ServiceManager& scm = machine().services;
    DWORD error = scm.control(*opened.service, dwControl, machine().clockMs);
    if (error == NO_ERROR || failureFillsStatus(error)) {
        *lpServiceStatus = scm.status(*opened.service);
    }
    return error == NO_ERROR ? TRUE : fail(error);
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject) {
    if (!machine().services.closeHandle(hSCObject)) {
        return fail(ERROR_INVALID_HANDLE);
    }
    return TRUE;
}
