// Results and last errors of the service calls, in the conformance shape: poison the last
// error and the out-parameter, call once, check the result, the error and what was written.
#include <functional>

#include "services_test_support.h"

namespace {

using namespace services_test;
namespace control = winsim::control;

using ServiceErrorsTest = ServicesTest;

// The last error a call leaves: untouched on success.
DWORD expectedError(DWORD error) {
    return error == NO_ERROR ? kPoison : error;
}

struct ManagerCase {
    const char* label;
    const char16_t* machineName;
    const char16_t* database;
    DWORD access;
    bool standardUser;
    DWORD error; // NO_ERROR: a handle
};

const ManagerCase kManagerCases[] = {
    {"installer's rights", nullptr, nullptr, kManagerAccess, false, NO_ERROR},
    {"no rights", nullptr, nullptr, 0, false, NO_ERROR},
    {"database by name", u"", u"ServicesActive", SC_MANAGER_CONNECT, false, NO_ERROR},
    {"database in any case", nullptr, u"servicesactive", SC_MANAGER_ALL_ACCESS, false, NO_ERROR},
    {"unknown database", nullptr, u"DoesNotExist", SC_MANAGER_CONNECT, false, ERROR_INVALID_NAME},
    {"remote machine", u"OTHERPC", nullptr, SC_MANAGER_CONNECT, false, RPC_S_SERVER_UNAVAILABLE},
    {"user, installer's rights", nullptr, nullptr, kManagerAccess, true, ERROR_ACCESS_DENIED},
    {"user, connect", nullptr, nullptr, SC_MANAGER_CONNECT, true, NO_ERROR},
    {"user, generic read", nullptr, nullptr, GENERIC_READ, true, NO_ERROR},
    {"user, generic all", nullptr, nullptr, GENERIC_ALL, true, ERROR_ACCESS_DENIED},
};

TEST_F(ServiceErrorsTest, OpenSCManagerW) {
    for (const ManagerCase& c : kManagerCases) {
        SCOPED_TRACE(c.label);
        winsim::machine().settings.administrator = !c.standardUser;
        poisonLastError();
        ScHandleGuard scm(OpenSCManagerW(reinterpret_cast<LPCWSTR>(c.machineName),
                                         reinterpret_cast<LPCWSTR>(c.database), c.access));
        EXPECT_EQ(c.error == NO_ERROR, scm.handle != nullptr);
        EXPECT_EQ(expectedError(c.error), GetLastError());
    }
}

struct OpenServiceCase {
    const char* label;
    const char* name; // null: a null name
    DWORD access;
    DWORD granted; // what the service grants
    DWORD error;
};

const OpenServiceCase kOpenServiceCases[] = {
    {"check rights", "spooler", kCheckAccess, SERVICE_ALL_ACCESS, NO_ERROR},
    {"restart rights, upper case", "SPOOLER", kRestartAccess, SERVICE_ALL_ACCESS, NO_ERROR},
    {"generic execute", "Spooler", GENERIC_EXECUTE, SERVICE_ALL_ACCESS, NO_ERROR},
    {"not installed", "NoSuchService", kCheckAccess, SERVICE_ALL_ACCESS,
     ERROR_SERVICE_DOES_NOT_EXIST},
    {"display name", "Print Spooler", kCheckAccess, SERVICE_ALL_ACCESS,
     ERROR_SERVICE_DOES_NOT_EXIST},
    {"null name", nullptr, kCheckAccess, SERVICE_ALL_ACCESS, ERROR_INVALID_ADDRESS},
    {"stop not granted", "spooler", kRestartAccess, kCheckAccess, ERROR_ACCESS_DENIED},
    {"what is granted", "spooler", kCheckAccess, kCheckAccess, NO_ERROR},
    {"nothing granted", "spooler", SERVICE_QUERY_STATUS, 0, ERROR_ACCESS_DENIED},
};

TEST_F(ServiceErrorsTest, OpenServiceW) {
    ScHandleGuard scm(openManager());
    for (const OpenServiceCase& c : kOpenServiceCases) {
        SCOPED_TRACE(c.label);
        control::setServiceGrantedAccess("Spooler", c.granted);
        std::u16string name = c.name ? winsim::toUtf16(c.name) : std::u16string();
        poisonLastError();
        ScHandleGuard service(OpenServiceW(scm, c.name ? winsim::wz(name) : nullptr, c.access));
        EXPECT_EQ(c.error == NO_ERROR, service.handle != nullptr);
        EXPECT_EQ(expectedError(c.error), GetLastError());
    }
    SC_HANDLE closed = openManager();
    ASSERT_TRUE(CloseServiceHandle(closed));
    ScHandleGuard spooler(openService(scm, "spooler", kCheckAccess));
    for (SC_HANDLE manager : {SC_HANDLE(nullptr), closed, spooler.handle}) {
        poisonLastError();
        EXPECT_EQ(nullptr, openService(manager, "spooler", kCheckAccess));
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    }
}

TEST_F(ServiceErrorsTest, BadHandlesAndStatusPointers) {
    ScHandleGuard scm(openManager());
    ScHandleGuard startOnly(openService(scm, "spooler", SERVICE_START));
    ScHandleGuard spooler(openService(scm, "spooler", kRestartAccess));
    const DWORD stop = SERVICE_CONTROL_STOP;
    const struct {
        const char* label;
        std::function<BOOL(SERVICE_STATUS*)> call;
        DWORD error;
    } cases[] = {
        {"query null", [&](SERVICE_STATUS* s) { return QueryServiceStatus(nullptr, s); },
         ERROR_INVALID_HANDLE},
        {"query manager", [&](SERVICE_STATUS* s) { return QueryServiceStatus(scm, s); },
         ERROR_INVALID_HANDLE},
        {"query no status", [&](SERVICE_STATUS*) { return QueryServiceStatus(startOnly, nullptr); },
         ERROR_INVALID_ADDRESS},
        {"query no right", [&](SERVICE_STATUS* s) { return QueryServiceStatus(startOnly, s); },
         ERROR_ACCESS_DENIED},
        {"stop manager", [&](SERVICE_STATUS* s) { return ControlService(scm, stop, s); },
         ERROR_INVALID_HANDLE},
        {"stop no status", [&](SERVICE_STATUS*) { return ControlService(spooler, stop, nullptr); },
         ERROR_INVALID_ADDRESS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        SERVICE_STATUS status = poisonedStatus();
        poisonLastError();
        EXPECT_FALSE(c.call(&status));
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_TRUE(untouched(status));
    }
    EXPECT_EQ(DWORD(SERVICE_RUNNING), control::serviceState("Spooler"));
}

void stopSpoolerHung() {
    control::setServiceNeverStops("Spooler", true);
    ASSERT_EQ(DWORD(NO_ERROR), stopSpooler());
}

void startSpoolerHung() {
    control::setServiceRunning("Spooler", false);
    control::setServiceNeverStarts("Spooler", true);
    ScHandleGuard scm(openManager());
    ScHandleGuard spooler(openService(scm, "spooler", kCheckAccess));
    ASSERT_TRUE(StartServiceW(spooler, 0, nullptr));
}

void spoolerStopped() {
    control::setServiceRunning("Spooler", false);
}

void spoolerDisabled() {
    control::setServiceRunning("Spooler", false);
    control::setServiceStartType("Spooler", SERVICE_DISABLED);
}

LPCWSTR kArgvWithHole[] = {L"Spooler", nullptr};

struct StartCase {
    const char* label;
    void (*arrange)(); // on a fresh machine
    const char* service;
    DWORD access;
    DWORD error;
    LPCWSTR* argv = nullptr; // two arguments when given
};

const StartCase kStartCases[] = {
    {"running", [] {}, "spooler", kCheckAccess, ERROR_SERVICE_ALREADY_RUNNING},
    {"start pending", startSpoolerHung, "spooler", kCheckAccess, ERROR_SERVICE_ALREADY_RUNNING},
    {"stop pending", stopSpoolerHung, "spooler", kCheckAccess, ERROR_SERVICE_ALREADY_RUNNING},
    {"disabled", spoolerDisabled, "spooler", kCheckAccess, ERROR_SERVICE_DISABLED},
    {"no start right", spoolerStopped, "spooler", SERVICE_QUERY_STATUS, ERROR_ACCESS_DENIED},
    {"dependency disabled", spoolerDisabled, "fax", kCheckAccess, ERROR_SERVICE_DEPENDENCY_FAIL},
    {"dependency stopping", stopSpoolerHung, "fax", kCheckAccess, ERROR_SERVICE_DEPENDENCY_FAIL},
    {"dependency not installed", [] { control::removeService("Spooler"); }, "fax", kCheckAccess,
     ERROR_SERVICE_DEPENDENCY_DELETED},
    {"null argument", spoolerStopped, "spooler", kCheckAccess, ERROR_INVALID_PARAMETER,
     kArgvWithHole},
};

TEST_F(ServiceErrorsTest, StartServiceW) {
    for (const StartCase& c : kStartCases) {
        SCOPED_TRACE(c.label);
        winsim::machine().services.reset();
        c.arrange();
        ScHandleGuard scm(openManager());
        ScHandleGuard service(openService(scm, c.service, c.access));
        ASSERT_NE(nullptr, service.handle);
        DWORD before = control::serviceState(c.service);
        poisonLastError();
        EXPECT_FALSE(StartServiceW(service, c.argv ? 2 : 0, c.argv));
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ(before, control::serviceState(c.service));
    }
}

struct ControlCase {
    const char* label;
    void (*arrange)(); // on a fresh machine
    DWORD control;
    DWORD access;
    DWORD error;
    DWORD filledState; // 0: the status is left alone
};

const ControlCase kControlCases[] = {
    {"stop running", [] {}, SERVICE_CONTROL_STOP, kRestartAccess, NO_ERROR, SERVICE_STOP_PENDING},
    {"stop stopped", spoolerStopped, SERVICE_CONTROL_STOP, kRestartAccess, ERROR_SERVICE_NOT_ACTIVE,
     SERVICE_STOPPED},
    {"stop while starting", startSpoolerHung, SERVICE_CONTROL_STOP, kRestartAccess,
     ERROR_SERVICE_CANNOT_ACCEPT_CTRL, SERVICE_START_PENDING},
    {"stop while stopping", stopSpoolerHung, SERVICE_CONTROL_STOP, kRestartAccess,
     ERROR_SERVICE_CANNOT_ACCEPT_CTRL, SERVICE_STOP_PENDING},
    {"running dependent", [] { control::setServiceRunning("Fax", true); }, SERVICE_CONTROL_STOP,
     kRestartAccess, ERROR_DEPENDENT_SERVICES_RUNNING, SERVICE_RUNNING},
    {"pause", [] {}, SERVICE_CONTROL_PAUSE, SERVICE_ALL_ACCESS, ERROR_INVALID_SERVICE_CONTROL,
     SERVICE_RUNNING},
    {"interrogate", [] {}, SERVICE_CONTROL_INTERROGATE, SERVICE_ALL_ACCESS, NO_ERROR,
     SERVICE_RUNNING},
    {"undefined control", [] {}, 0, SERVICE_ALL_ACCESS, ERROR_INVALID_PARAMETER, 0},
    {"shutdown", [] {}, SERVICE_CONTROL_SHUTDOWN, SERVICE_ALL_ACCESS, ERROR_INVALID_PARAMETER, 0},
    {"no stop right", [] {}, SERVICE_CONTROL_STOP, kCheckAccess, ERROR_ACCESS_DENIED, 0},
    {"no stop right, stopped", spoolerStopped, SERVICE_CONTROL_STOP, kCheckAccess,
     ERROR_ACCESS_DENIED, 0},
};

TEST_F(ServiceErrorsTest, ControlService) {
    for (const ControlCase& c : kControlCases) {
        SCOPED_TRACE(c.label);
        winsim::machine().services.reset();
        c.arrange();
        ScHandleGuard scm(openManager());
        ScHandleGuard spooler(openService(scm, "spooler", c.access));
        SERVICE_STATUS status = poisonedStatus();
        poisonLastError();
        EXPECT_EQ(c.error == NO_ERROR, ControlService(spooler, c.control, &status) != FALSE);
        EXPECT_EQ(expectedError(c.error), GetLastError());
        if (c.filledState) {
            EXPECT_EQ(c.filledState, status.dwCurrentState);
        } else {
            EXPECT_TRUE(untouched(status));
        }
    }
}

TEST_F(ServiceErrorsTest, HandlesAreDistinctCountedAndClosedOnce) {
    SC_HANDLE manager = openManager();
    SC_HANDLE first = openService(manager, "spooler", kCheckAccess);
    ScHandleGuard second(openService(manager, "spooler", kCheckAccess));
    ASSERT_NE(nullptr, second.handle);
    EXPECT_NE(first, second.handle);
    EXPECT_NE(manager, first);
    EXPECT_EQ(3u, winsim::machine().services.openHandles());

    // A service handle outlives the manager handle it was opened through.
    ASSERT_TRUE(CloseServiceHandle(manager));
    EXPECT_EQ(DWORD(SERVICE_RUNNING), queryState(first));
    poisonLastError();
    ASSERT_TRUE(CloseServiceHandle(first));
    EXPECT_EQ(kPoison, GetLastError());
    EXPECT_EQ(1u, winsim::machine().services.openHandles());

    for (SC_HANDLE gone : {manager, first, SC_HANDLE(nullptr)}) {
        poisonLastError();
        EXPECT_FALSE(CloseServiceHandle(gone));
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    }
    SERVICE_STATUS status = poisonedStatus();
    poisonLastError();
    EXPECT_FALSE(QueryServiceStatus(first, &status));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_TRUE(untouched(status));
}

} // namespace
