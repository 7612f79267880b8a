// Results and last errors of the service calls, in the conformance shape: poison the last
// error and the out-parameter, call once, check the result, the error and what was written.
#include <functional>

#include "services_test_support.h"

namespace {

using namespace services_test;
namespace control = winsim::control;

using ServiceErrorsTest = ServicesTest;

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
    {"empty machine, database by name", u"", u"ServicesActive", SC_MANAGER_CONNECT, false,
     NO_ERROR},
    {"database name in any case", nullptr, u"servicesactive", SC_MANAGER_ALL_ACCESS, false,
     NO_ERROR},
    {"unknown database", nullptr, u"DoesNotExist", SC_MANAGER_CONNECT, false, ERROR_INVALID_NAME},
    {"remote machine", u"OTHERPC", nullptr, SC_MANAGER_CONNECT, false, RPC_S_SERVER_UNAVAILABLE},
    {"standard user, installer's rights", nullptr, nullptr, kManagerAccess, true,
     ERROR_ACCESS_DENIED},
    {"standard user, connect", nullptr, nullptr, SC_MANAGER_CONNECT, true, NO_ERROR},
    {"standard user, generic read", nullptr, nullptr, GENERIC_READ, true, NO_ERROR},
    {"standard user, generic all", nullptr, nullptr, GENERIC_ALL, true, ERROR_ACCESS_DENIED},
};

TEST_F(ServiceErrorsTest, OpenSCManagerW) {
    for (const ManagerCase& c : kManagerCases) {
        SCOPED_TRACE(c.label);
        winsim::machine().settings.administrator = !c.standardUser;
        poisonLastError();
        ScHandleGuard scm(OpenSCManagerW(reinterpret_cast<LPCWSTR>(c.machineName),
                                         reinterpret_cast<LPCWSTR>(c.database), c.access));
        EXPECT_EQ(c.error == NO_ERROR, scm.handle != nullptr);
        EXPECT_EQ(c.error == NO_ERROR ? kPoison : c.error, lastError());
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
    {"display name is no service name", "Print Spooler", kCheckAccess, SERVICE_ALL_ACCESS,
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
        EXPECT_EQ(c.error == NO_ERROR ? kPoison : c.error, lastError());
    }
}

TEST_F(ServiceErrorsTest, OpenServiceWNeedsAnOpenManagerHandle) {
    SC_HANDLE closed = openManager();
    ASSERT_TRUE(CloseServiceHandle(closed));
    ScHandleGuard scm(openManager());
    ScHandleGuard spooler(openService(scm, "spooler", kCheckAccess));
    for (SC_HANDLE manager : {SC_HANDLE(nullptr), closed, spooler.handle}) {
        poisonLastError();
        EXPECT_EQ(nullptr, openService(manager, "spooler", kCheckAccess));
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), lastError());
    }
}

TEST_F(ServiceErrorsTest, QueryServiceStatus) {
    ScHandleGuard scm(openManager());
    ScHandleGuard startOnly(openService(scm, "spooler", SERVICE_START));
    struct Case {
        const char* label;
        SC_HANDLE handle;
        bool withStatus;
        DWORD error;
    } cases[] = {
        {"null handle", nullptr, true, ERROR_INVALID_HANDLE},
        {"manager handle", scm, true, ERROR_INVALID_HANDLE},
        {"no status", startOnly, false, ERROR_INVALID_ADDRESS},
        {"no query right", startOnly, true, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SERVICE_STATUS status = poisonedStatus();
        poisonLastError();
        EXPECT_FALSE(QueryServiceStatus(c.handle, c.withStatus ? &status : nullptr));
        EXPECT_EQ(c.error, lastError());
        EXPECT_TRUE(untouched(status));
    }
}

struct StartCase {
    const char* label;
    std::function<void()> arrange; // on a fresh machine
    const char* service;
    DWORD access;
    DWORD error;
};

void stopSpoolerFor(bool never) {
    control::setServiceNeverStops("Spooler", never);
    ScHandleGuard scm(openManager());
    ScHandleGuard spooler(openService(scm, "spooler", kRestartAccess));
    SERVICE_STATUS status = {};
    ASSERT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
}

void startSpoolerHung() {
    control::setServiceRunning("Spooler", false);
    control::setServiceNeverStarts("Spooler", true);
    ScHandleGuard scm(openManager());
    ScHandleGuard spooler(openService(scm, "spooler", kCheckAccess));
    ASSERT_TRUE(StartServiceW(spooler, 0, nullptr));
}

const StartCase kStartCases[] = {
    {"running", [] {}, "spooler", kCheckAccess, ERROR_SERVICE_ALREADY_RUNNING},
    {"start pending", startSpoolerHung, "spooler", kCheckAccess, ERROR_SERVICE_ALREADY_RUNNING},
    {"stop pending", [] { stopSpoolerFor(true); }, "spooler", kCheckAccess,
     ERROR_SERVICE_ALREADY_RUNNING},
    {"disabled",
     [] {
         control::setServiceRunning("Spooler", false);
         control::setServiceStartType("Spooler", SERVICE_DISABLED);
     },
     "spooler", kCheckAccess, ERROR_SERVICE_DISABLED},
    {"no start right", [] { control::setServiceRunning("Spooler", false); }, "spooler",
     SERVICE_QUERY_STATUS, ERROR_ACCESS_DENIED},
    {"dependency disabled",
     [] {
         control::setServiceRunning("Spooler", false);
         control::setServiceStartType("Spooler", SERVICE_DISABLED);
     },
     "fax", kCheckAccess, ERROR_SERVICE_DEPENDENCY_FAIL},
    {"dependency stopping", [] { stopSpoolerFor(true); }, "fax", kCheckAccess,
     ERROR_SERVICE_DEPENDENCY_FAIL},
    {"dependency not installed", [] { control::removeService("Spooler"); }, "fax", kCheckAccess,
     ERROR_SERVICE_DEPENDENCY_DELETED},
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
        EXPECT_FALSE(StartServiceW(service, 0, nullptr));
        EXPECT_EQ(c.error, lastError());
        EXPECT_EQ(before, control::serviceState(c.service));
    }
}

TEST_F(ServiceErrorsTest, StartServiceWArguments) {
    control::setServiceRunning("Spooler", false);
    ScHandleGuard scm(openManager());
    ScHandleGuard spooler(openService(scm, "spooler", kCheckAccess));
    LPCWSTR holes[] = {L"Spooler", nullptr};
    for (LPCWSTR* argv : {static_cast<LPCWSTR*>(nullptr), holes}) {
        poisonLastError();
        EXPECT_FALSE(StartServiceW(spooler, 2, argv));
        EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), lastError());
    }
    EXPECT_EQ(DWORD(SERVICE_STOPPED), control::serviceState("Spooler"));
    LPCWSTR args[] = {L"Spooler"};
    poisonLastError();
    EXPECT_TRUE(StartServiceW(spooler, 1, args));
    EXPECT_EQ(kPoison, lastError());
}

struct ControlCase {
    const char* label;
    std::function<void()> arrange; // on a fresh machine
    DWORD control;
    DWORD access;
    DWORD error;
    DWORD filledState; // 0: the status is left alone
};

const ControlCase kControlCases[] = {
    {"stop running", [] {}, SERVICE_CONTROL_STOP, kRestartAccess, NO_ERROR, SERVICE_STOP_PENDING},
    {"stop stopped", [] { control::setServiceRunning("Spooler", false); }, SERVICE_CONTROL_STOP,
     kRestartAccess, ERROR_SERVICE_NOT_ACTIVE, SERVICE_STOPPED},
    {"stop while starting", startSpoolerHung, SERVICE_CONTROL_STOP, kRestartAccess,
     ERROR_SERVICE_CANNOT_ACCEPT_CTRL, SERVICE_START_PENDING},
    {"stop while stopping", [] { stopSpoolerFor(true); }, SERVICE_CONTROL_STOP, kRestartAccess,
     ERROR_SERVICE_CANNOT_ACCEPT_CTRL, SERVICE_STOP_PENDING},
    {"stop with a running dependent", [] { control::setServiceRunning("Fax", true); },
     SERVICE_CONTROL_STOP, kRestartAccess, ERROR_DEPENDENT_SERVICES_RUNNING, SERVICE_RUNNING},
    {"pause not accepted", [] {}, SERVICE_CONTROL_PAUSE, SERVICE_ALL_ACCESS,
     ERROR_INVALID_SERVICE_CONTROL, SERVICE_RUNNING},
    {"interrogate", [] {}, SERVICE_CONTROL_INTERROGATE, SERVICE_ALL_ACCESS, NO_ERROR,
     SERVICE_RUNNING},
    {"undefined control", [] {}, 0, SERVICE_ALL_ACCESS, ERROR_INVALID_PARAMETER, 0},
    {"shutdown is not for callers", [] {}, SERVICE_CONTROL_SHUTDOWN, SERVICE_ALL_ACCESS,
     ERROR_INVALID_PARAMETER, 0},
    {"no stop right", [] {}, SERVICE_CONTROL_STOP, kCheckAccess, ERROR_ACCESS_DENIED, 0},
    {"no stop right, stopped", [] { control::setServiceRunning("Spooler", false); },
     SERVICE_CONTROL_STOP, kCheckAccess, ERROR_ACCESS_DENIED, 0},
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
        EXPECT_EQ(c.error == NO_ERROR ? kPoison : c.error, lastError());
        if (c.filledState) {
            EXPECT_EQ(c.filledState, status.dwCurrentState);
        } else {
            EXPECT_TRUE(untouched(status));
        }
    }
}

TEST_F(ServiceErrorsTest, ControlServiceHandleAndStatusPointer) {
    ScHandleGuard scm(openManager());
    ScHandleGuard spooler(openService(scm, "spooler", kRestartAccess));
    SERVICE_STATUS status = poisonedStatus();
    poisonLastError();
    EXPECT_FALSE(ControlService(scm, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), lastError());
    EXPECT_TRUE(untouched(status));
    poisonLastError();
    EXPECT_FALSE(ControlService(spooler, SERVICE_CONTROL_STOP, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_ADDRESS), lastError());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), control::serviceState("Spooler"));
}

TEST_F(ServiceErrorsTest, HandlesAreDistinctCountedAndClosedOnce) {
    auto& scm = winsim::machine().services;
    SC_HANDLE manager = openManager();
    SC_HANDLE first = openService(manager, "spooler", kCheckAccess);
    SC_HANDLE second = openService(manager, "spooler", kCheckAccess);
    ASSERT_NE(nullptr, manager);
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    EXPECT_NE(first, second);
    EXPECT_NE(manager, first);
    EXPECT_EQ(3u, scm.openHandles());

    // A service handle outlives the manager handle it was opened through.
    ASSERT_TRUE(CloseServiceHandle(manager));
    EXPECT_EQ(DWORD(SERVICE_RUNNING), queryState(first));
    poisonLastError();
    ASSERT_TRUE(CloseServiceHandle(first));
    EXPECT_EQ(kPoison, lastError());
    EXPECT_EQ(1u, scm.openHandles());

    for (SC_HANDLE gone : {manager, first, SC_HANDLE(nullptr)}) {
        poisonLastError();
        EXPECT_FALSE(CloseServiceHandle(gone));
        EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), lastError());
    }
    SERVICE_STATUS status = poisonedStatus();
    poisonLastError();
    EXPECT_FALSE(QueryServiceStatus(first, &status));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), lastError());
    EXPECT_TRUE(untouched(status));
    ASSERT_TRUE(CloseServiceHandle(second));
}

} // namespace
