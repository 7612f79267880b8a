// The service state machine over the virtual clock, and the installer's polling pattern.
#include <utility>
#include <vector>

#include "services_test_support.h"

namespace {

using namespace services_test;
using Event = std::pair<std::string, DWORD>;

class ServiceStateTest : public ServicesTest {
  protected:
    void record() {
        winsim::machine().services.listen(
            kListener, [this](const std::string& name, DWORD s) { events.emplace_back(name, s); });
    }
    std::vector<Event> events;
};

TEST_F(ServiceStateTest, FreshMachineRunsTheSpoolerAndNotItsDependent) {
    ScHandleGuard scm(openManager());
    ScHandleGuard spooler(openService(scm, "spooler", kCheckAccess));
    SERVICE_STATUS status = poisonedStatus();
    ASSERT_TRUE(QueryServiceStatus(spooler, &status));
    EXPECT_EQ(kPoison, lastError());
    EXPECT_EQ(DWORD(SERVICE_WIN32_OWN_PROCESS), status.dwServiceType);
    EXPECT_EQ(DWORD(SERVICE_RUNNING), status.dwCurrentState);
    EXPECT_EQ(DWORD(SERVICE_ACCEPT_STOP), status.dwControlsAccepted);
    EXPECT_EQ(0u, status.dwWin32ExitCode);
    EXPECT_EQ(0u, status.dwCheckPoint);
    EXPECT_EQ(0u, status.dwWaitHint);

    const winsim::Service* found = winsim::machine().services.find("SPOOLER");
    ASSERT_NE(nullptr, found);
    EXPECT_EQ("Print Spooler", found->displayName);
    EXPECT_EQ(DWORD(SERVICE_AUTO_START), found->startType);
    EXPECT_TRUE(winsim::machine().services.isRunning("Spooler"));
    EXPECT_FALSE(winsim::machine().services.isRunning("fax"));
    EXPECT_EQ(DWORD(SERVICE_STOPPED), winsim::control::serviceState("Fax"));
}

TEST_F(ServiceStateTest, StopIsPendingForTheStopDelayThenStopped) {
    winsim::control::setServiceStopDelay("Spooler", 1000);
    record();
    ScHandleGuard scm(openManager());
    ScHandleGuard spooler(openService(scm, "spooler", kRestartAccess));
    SERVICE_STATUS status = poisonedStatus();
    ASSERT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(kPoison, lastError());
    EXPECT_EQ(DWORD(SERVICE_STOP_PENDING), status.dwCurrentState);
    EXPECT_EQ(0u, status.dwControlsAccepted);
    EXPECT_EQ(2000u, status.dwWaitHint);
    EXPECT_FALSE(winsim::machine().services.isRunning("spooler"));

    Sleep(999);
    EXPECT_EQ(DWORD(SERVICE_STOP_PENDING), queryState(spooler));
    EXPECT_TRUE(events.empty());
    Sleep(1);
    EXPECT_EQ(DWORD(SERVICE_STOPPED), queryState(spooler));
    EXPECT_EQ(std::vector<Event>({{"Spooler", SERVICE_STOPPED}}), events);
}

TEST_F(ServiceStateTest, StartIsPendingForTheStartDelayThenRunning) {
    winsim::control::setServiceRunning("Spooler", false);
    winsim::control::setServiceStartDelay("Spooler", 700);
    record();
    ScHandleGuard scm(openManager());
    ScHandleGuard spooler(openService(scm, "spooler", kCheckAccess));
    ASSERT_TRUE(StartServiceW(spooler, 0, nullptr));
    EXPECT_EQ(kPoison, lastError());
    SERVICE_STATUS status = poisonedStatus();
    ASSERT_TRUE(QueryServiceStatus(spooler, &status));
    EXPECT_EQ(DWORD(SERVICE_START_PENDING), status.dwCurrentState);
    EXPECT_EQ(0u, status.dwControlsAccepted);
    EXPECT_EQ(0u, status.dwCheckPoint);
    EXPECT_EQ(2000u, status.dwWaitHint);

    Sleep(699);
    EXPECT_EQ(DWORD(SERVICE_START_PENDING), queryState(spooler));
    Sleep(1);
    EXPECT_EQ(DWORD(SERVICE_RUNNING), queryState(spooler));
    EXPECT_TRUE(winsim::machine().services.isRunning("spooler"));
    EXPECT_EQ(std::vector<Event>({{"Spooler", SERVICE_RUNNING}}), events);
    EXPECT_EQ(1u, winsim::control::serviceStartCount("spooler"));
}

// A clock moved behind the manager's back still counts once a call looks at the service.
TEST_F(ServiceStateTest, DueTransitionHappensWhenACallLooks) {
    ScHandleGuard scm(openManager());
    ScHandleGuard spooler(openService(scm, "spooler", kRestartAccess));
    SERVICE_STATUS status = {};
    ASSERT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
    winsim::machine().clockMs += 60000;
    EXPECT_EQ(DWORD(SERVICE_STOPPED), queryState(spooler));
}

TEST_F(ServiceStateTest, StartingADependentStartsItsDependencyFirst) {
    winsim::control::setServiceRunning("Spooler", false);
    winsim::control::setServiceStartDelay("Spooler", 600);
    winsim::control::setServiceStartDelay("Fax", 0);
    record();
    ScHandleGuard scm(openManager());
    ScHandleGuard fax(openService(scm, "fax", SERVICE_START | SERVICE_QUERY_STATUS));
    ASSERT_TRUE(StartServiceW(fax, 0, nullptr));
    EXPECT_EQ(DWORD(SERVICE_START_PENDING), winsim::control::serviceState("Spooler"));

    Sleep(599);
    EXPECT_EQ(DWORD(SERVICE_START_PENDING), queryState(fax));
    Sleep(1);
    EXPECT_EQ(DWORD(SERVICE_RUNNING), queryState(fax));
    EXPECT_EQ(std::vector<Event>({{"Spooler", SERVICE_RUNNING}, {"Fax", SERVICE_RUNNING}}), events);
    EXPECT_EQ(1u, winsim::control::serviceStartCount("Spooler"));
}

// The spooler maps the monitor DLL while it runs; the file can go once the service stopped.
TEST_F(ServiceStateTest, StoppedSpoolerLetsGoOfItsFiles) {
    const std::string dll = "C:\\Windows\\system32\\orvmon64.dll";
    ASSERT_TRUE(winsim::control::writeFile(dll, "MZ"));
    winsim::control::holdFileBySpooler(dll, true);
    winsim::control::setServiceStopDelay("Spooler", 400);
    std::u16string path = winsim::toUtf16(dll);
    poisonLastError();
    EXPECT_FALSE(DeleteFileW(winsim::wz(path)));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), lastError());

    ScHandleGuard scm(openManager());
    ScHandleGuard spooler(openService(scm, "spooler", kRestartAccess));
    SERVICE_STATUS status = {};
    ASSERT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
    Sleep(399);
    poisonLastError();
    EXPECT_FALSE(DeleteFileW(winsim::wz(path)));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), lastError());
    Sleep(1);
    EXPECT_TRUE(DeleteFileW(winsim::wz(path)));
    EXPECT_FALSE(winsim::control::fileExists(dll));
}

TEST_F(ServiceStateTest, ReRegisteringAListenerReplacesIt) {
    int first = 0;
    int second = 0;
    auto& scm = winsim::machine().services;
    scm.listen(kListener, [&](const std::string&, DWORD) { ++first; });
    scm.listen(kListener, [&](const std::string&, DWORD) { ++second; });
    winsim::control::setServiceRunning("Spooler", false);
    EXPECT_EQ(0, first);
    EXPECT_EQ(1, second);
}

// The installer's waits: one query, then up to 50 rounds of "check, sleep 200 ms, query".
struct Wait {
    bool reached;
    uint64_t waitedMs;
};

Wait pollFor(SC_HANDLE service, DWORD wanted) {
    uint64_t begin = winsim::control::clockMs();
    SERVICE_STATUS status = {};
    QueryServiceStatus(service, &status);
    for (int i = 0; i < 50 && status.dwCurrentState != wanted; ++i) {
        Sleep(200);
        QueryServiceStatus(service, &status);
    }
    return {status.dwCurrentState == wanted, winsim::control::clockMs() - begin};
}

struct PollCase {
    uint64_t delayMs;
    bool never;
    bool reached;
    uint64_t waitedMs;
};

const PollCase kPollCases[] = {
    {0, false, true, 0},          {300, false, true, 400}, {10000, false, true, 10000},
    {10001, false, false, 10000}, {0, true, false, 10000},
};

TEST_F(ServiceStateTest, StopWithFiftyPollsOf200ms) {
    for (const PollCase& c : kPollCases) {
        SCOPED_TRACE(testing::Message() << "delay " << c.delayMs << " never " << c.never);
        winsim::machine().services.reset();
        winsim::control::setServiceStopDelay("Spooler", c.delayMs);
        winsim::control::setServiceNeverStops("Spooler", c.never);
        ScHandleGuard scm(openManager());
        ScHandleGuard spooler(openService(scm, "spooler", kRestartAccess));
        SERVICE_STATUS status = {};
        ASSERT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
        Wait wait = pollFor(spooler, SERVICE_STOPPED);
        EXPECT_EQ(c.reached, wait.reached);
        EXPECT_EQ(c.waitedMs, wait.waitedMs);
    }
}

TEST_F(ServiceStateTest, StartWithFiftyPollsOf200ms) {
    for (const PollCase& c : kPollCases) {
        SCOPED_TRACE(testing::Message() << "delay " << c.delayMs << " never " << c.never);
        winsim::machine().services.reset();
        winsim::control::setServiceRunning("Spooler", false);
        winsim::control::setServiceStartDelay("Spooler", c.delayMs);
        winsim::control::setServiceNeverStarts("Spooler", c.never);
        ScHandleGuard scm(openManager());
        ScHandleGuard spooler(openService(scm, "spooler", kCheckAccess));
        ASSERT_TRUE(StartServiceW(spooler, 0, nullptr));
        Wait wait = pollFor(spooler, SERVICE_RUNNING);
        EXPECT_EQ(c.reached, wait.reached);
        EXPECT_EQ(c.waitedMs, wait.waitedMs);
    }
}

} // namespace
