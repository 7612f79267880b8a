// The service state machine over the virtual clock, and the installer's polling pattern.
#include <utility>
#include <vector>

#include "services_test_support.h"

namespace {

using namespace services_test;
namespace control = winsim::control;
using Event = std::pair<std::string, DWORD>;

class ServiceStateTest : public ServicesTest {
  protected:
    void record() {
        winsim::machine().services.listen(
            kListener, [this](const std::string& name, DWORD s) { events.emplace_back(name, s); });
    }
    std::vector<Event> events;
};

// A fresh machine runs the spooler, not its dependent. Stop and start are pending for their
// delay, report a wait hint, then tell the listeners.
TEST_F(ServiceStateTest, RunningThenPendingForTheDelayThenDone) {
    control::setServiceStopDelay("Spooler", 1000);
    control::setServiceStartDelay("Spooler", 700);
    record();
    ScHandleGuard scm(openManager());
    ScHandleGuard spooler(openService(scm, "spooler", kRestartAccess));
    SERVICE_STATUS status = poisonedStatus();
    ASSERT_TRUE(QueryServiceStatus(spooler, &status));
    EXPECT_EQ(kPoison, GetLastError());
    EXPECT_EQ(DWORD(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS), status.dwServiceType);
    EXPECT_EQ(DWORD(SERVICE_RUNNING), status.dwCurrentState);
    EXPECT_EQ(DWORD(SERVICE_ACCEPT_STOP), status.dwControlsAccepted);
    EXPECT_EQ(0u, status.dwWin32ExitCode + status.dwCheckPoint + status.dwWaitHint);
    EXPECT_EQ(DWORD(SERVICE_STOPPED), control::serviceState("Fax"));

    status = poisonedStatus();
    ASSERT_TRUE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(kPoison, GetLastError());
    EXPECT_EQ(DWORD(SERVICE_STOP_PENDING), status.dwCurrentState);
    EXPECT_EQ(0u, status.dwControlsAccepted);
    EXPECT_EQ(2000u, status.dwWaitHint);
    EXPECT_FALSE(winsim::machine().services.isRunning("spooler"));
    Sleep(999);
    EXPECT_TRUE(events.empty());
    Sleep(1);
    EXPECT_EQ(DWORD(SERVICE_STOPPED), queryState(spooler));

    ASSERT_TRUE(StartServiceW(spooler, 0, nullptr));
    EXPECT_EQ(kPoison, GetLastError());
    status = poisonedStatus();
    ASSERT_TRUE(QueryServiceStatus(spooler, &status));
    EXPECT_EQ(DWORD(SERVICE_START_PENDING), status.dwCurrentState);
    EXPECT_EQ(0u, status.dwControlsAccepted + status.dwCheckPoint);
    EXPECT_EQ(2000u, status.dwWaitHint);
    Sleep(700);
    EXPECT_TRUE(winsim::machine().services.isRunning("spooler"));
    EXPECT_EQ(std::vector<Event>({{"Spooler", SERVICE_STOPPED}, {"Spooler", SERVICE_RUNNING}}),
              events);
    EXPECT_EQ(1u, control::serviceStartCount("spooler"));
}

// A clock moved behind the manager's back still counts once a call looks at the service.
TEST_F(ServiceStateTest, DueTransitionHappensWhenACallLooks) {
    ASSERT_EQ(DWORD(NO_ERROR), stopSpooler());
    winsim::machine().clockMs += 60000;
    EXPECT_EQ(DWORD(SERVICE_STOPPED), control::serviceState("spooler"));
}

// The spooler maps the monitor DLL while it runs; the file can go once the service stopped.
TEST_F(ServiceStateTest, StoppedSpoolerLetsGoOfItsFiles) {
    const std::string dll = "C:\\Windows\\system32\\orvmon64.dll";
    ASSERT_TRUE(control::writeFile(dll, "MZ"));
    control::holdFileBySpooler(dll, true);
    control::setServiceStopDelay("Spooler", 400);
    std::u16string path = winsim::toUtf16(dll);
    ASSERT_EQ(DWORD(NO_ERROR), stopSpooler());
    Sleep(399);
    poisonLastError();
    EXPECT_FALSE(DeleteFileW(winsim::wz(path)));
    EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), GetLastError());
    Sleep(1);
    EXPECT_TRUE(DeleteFileW(winsim::wz(path)));
    EXPECT_FALSE(control::fileExists(dll));
}

// The installer's waits: one query, then up to 50 rounds of "check, sleep 200 ms, query".
uint64_t pollFor(SC_HANDLE service, DWORD wanted, bool& reached) {
    uint64_t begin = control::clockMs();
    SERVICE_STATUS status = {};
    QueryServiceStatus(service, &status);
    for (int i = 0; i < 50 && status.dwCurrentState != wanted; ++i) {
        Sleep(200);
        QueryServiceStatus(service, &status);
    }
    reached = status.dwCurrentState == wanted;
    return control::clockMs() - begin;
}

struct PollCase {
    bool stop;
    uint64_t delayMs;
    bool never;
    bool reached;
    uint64_t waitedMs;
};

const PollCase kPollCases[] = {
    {true, 0, false, true, 0},           {true, 300, false, true, 400},
    {true, 10000, false, true, 10000},   {true, 10001, false, false, 10000},
    {true, 0, true, false, 10000},       {false, 0, false, true, 0},
    {false, 300, false, true, 400},      {false, 10000, false, true, 10000},
    {false, 10001, false, false, 10000}, {false, 0, true, false, 10000},
};

TEST_F(ServiceStateTest, FiftyPollsOf200ms) {
    for (const PollCase& c : kPollCases) {
        SCOPED_TRACE(testing::Message() << (c.stop ? "stop" : "start") << " delay " << c.delayMs
                                        << " never " << c.never);
        winsim::machine().services.reset();
        ScHandleGuard scm(openManager());
        ScHandleGuard spooler(openService(scm, "spooler", kRestartAccess));
        if (c.stop) {
            control::setServiceStopDelay("Spooler", c.delayMs);
            control::setServiceNeverStops("Spooler", c.never);
            ASSERT_EQ(DWORD(NO_ERROR), stopSpooler());
        } else {
            control::setServiceRunning("Spooler", false);
            control::setServiceStartDelay("Spooler", c.delayMs);
            control::setServiceNeverStarts("Spooler", c.never);
            ASSERT_TRUE(StartServiceW(spooler, 0, nullptr));
        }
        bool reached = false;
        EXPECT_EQ(c.waitedMs,
                  pollFor(spooler, c.stop ? SERVICE_STOPPED : SERVICE_RUNNING, reached));
        EXPECT_EQ(c.reached, reached);
    }
}

} // namespace
