// The control API's service knobs and queries, and a saved machine's services.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "services_test_support.h"

namespace {

using namespace services_test;
namespace control = winsim::control;

using ServiceKnobsTest = ServicesTest;

TEST_F(ServiceKnobsTest, StopFailsTheGivenNumberOfTimes) {
    control::failServiceStop("spooler", ERROR_SERVICE_REQUEST_TIMEOUT, 2);
    EXPECT_EQ(DWORD(ERROR_SERVICE_REQUEST_TIMEOUT), stopSpooler());
    EXPECT_EQ(DWORD(SERVICE_RUNNING), control::serviceState("spooler"));
    EXPECT_EQ(DWORD(ERROR_SERVICE_REQUEST_TIMEOUT), stopSpooler());
    EXPECT_EQ(DWORD(NO_ERROR), stopSpooler());
    EXPECT_EQ(DWORD(SERVICE_STOP_PENDING), control::serviceState("spooler"));
    EXPECT_EQ(1u, control::serviceStopCount("Spooler"));
}

// Windows fills the status for a refused stop, not for a refused access.
TEST_F(ServiceKnobsTest, StopFaultFillsTheStatusAsWindowsDoes) {
    for (DWORD error : {DWORD(ERROR_DEPENDENT_SERVICES_RUNNING), DWORD(ERROR_ACCESS_DENIED)}) {
        control::failServiceStop("spooler", error);
        ScHandleGuard scm(openManager());
        ScHandleGuard spooler(openService(scm, "spooler", kRestartAccess));
        SERVICE_STATUS status = poisonedStatus();
        poisonLastError();
        EXPECT_FALSE(ControlService(spooler, SERVICE_CONTROL_STOP, &status));
        EXPECT_EQ(error, GetLastError());
        EXPECT_EQ(error == ERROR_ACCESS_DENIED, untouched(status));
    }
    control::failServiceStop("spooler", NO_ERROR);
    EXPECT_EQ(DWORD(NO_ERROR), stopSpooler());
}

TEST_F(ServiceKnobsTest, ForcedStatesTakeDependenciesAndDependentsAlong) {
    std::vector<std::string> order;
    winsim::machine().services.listen(kListener, [&](const std::string& name, DWORD state) {
        order.push_back(name + (state == SERVICE_RUNNING ? " running" : " stopped"));
    });
    control::setServiceRunning("Spooler", false);
    control::setServiceRunning("fax", true);
    control::setServiceRunning("spooler", false);
    EXPECT_EQ(std::vector<std::string>({"Spooler stopped", "Spooler running", "Fax running",
                                        "Fax stopped", "Spooler stopped"}),
              order);
    EXPECT_EQ(0u, control::serviceStartCount("Spooler"));
}

class ServiceStoreTest : public ServicesTest {
  protected:
    std::string file() const { return dir() + "/services.txt"; }
    std::string fileText() const {
        std::ostringstream text;
        text << std::ifstream(file()).rdbuf();
        return text.str();
    }
};

TEST_F(ServiceStoreTest, PendingStopResumesWithItsRemainingTime) {
    control::setServiceStopDelay("Spooler", 1000);
    ASSERT_EQ(DWORD(NO_ERROR), stopSpooler());
    Sleep(300);
    ASSERT_TRUE(winsim::machine().services.save(dir()));
    EXPECT_NE(std::string::npos, fileText().find("[Spooler]\ndisplayName=Print Spooler\n"));
    EXPECT_NE(std::string::npos, fileText().find("state=STOP_PENDING\n"));
    EXPECT_NE(std::string::npos, fileText().find("remainingMs=700\n"));

    winsim::machine().services.reset();
    control::setClockMs(50000);
    ASSERT_TRUE(winsim::machine().services.load(dir()));
    Sleep(699);
    EXPECT_EQ(DWORD(SERVICE_STOP_PENDING), control::serviceState("spooler"));
    Sleep(1);
    EXPECT_EQ(DWORD(SERVICE_STOPPED), control::serviceState("spooler"));
    EXPECT_EQ(1u, control::serviceStopCount("spooler"));
}

TEST_F(ServiceStoreTest, KnobsSurviveARoundTrip) {
    control::setServiceRunning("Fax", true);
    control::setServiceStartType("Spooler", SERVICE_DISABLED);
    control::setServiceNeverStarts("Spooler", true);
    control::failServiceStop("Spooler", ERROR_SERVICE_REQUEST_TIMEOUT);
    control::setServiceGrantedAccess("Spooler", kCheckAccess);
    control::setServiceStartDelay("Fax", 1234);
    ASSERT_TRUE(winsim::machine().services.save(dir()));
    std::string saved = fileText();

    winsim::machine().services.reset();
    ASSERT_TRUE(winsim::machine().services.load(dir()));
    ASSERT_TRUE(winsim::machine().services.save(dir()));
    EXPECT_EQ(saved, fileText());
    const winsim::Service* spooler = winsim::machine().services.find("spooler");
    ASSERT_NE(nullptr, spooler);
    EXPECT_EQ(DWORD(SERVICE_DISABLED), spooler->startType);
    EXPECT_EQ(winsim::kEveryTime, spooler->stopErrorTimes);
    EXPECT_TRUE(winsim::machine().services.isRunning("fax"));
}

TEST_F(ServiceStoreTest, BadFilesLeaveTheServicesAlone) {
    const char* const bad[] = {
        "[Spooler]\nneverStops=2\n",        "[Spooler]\nstate=HALF_RUNNING\n",
        "[Spooler]\nstartDelayMs=-5\n",     "[Spooler]\ngrantedAccess=0x100000000\n",
        "[Spooler]\ncolour=blue\n",         "[Spooler]\nno equals sign\n",
        "displayName=before any service\n",
    };
    control::setServiceRunning("Spooler", false);
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        std::ofstream(file()) << text;
        EXPECT_FALSE(winsim::machine().services.load(dir()));
        EXPECT_EQ(DWORD(SERVICE_STOPPED), control::serviceState("spooler"));
        EXPECT_EQ(DWORD(SERVICE_STOPPED), control::serviceState("fax"));
    }
    std::remove(file().c_str());
    EXPECT_FALSE(winsim::machine().services.load(dir()));
}

} // namespace
