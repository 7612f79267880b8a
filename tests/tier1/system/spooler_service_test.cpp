#include "system_test.h"

#include <functional>
#include <string>

#include "system/spooler_service.h"
#include "winsim/control.h"

namespace {

using namespace winsim::control;

const char kDependentsRunning[] =
    "A stop control has been sent to a service that other running services are dependent on.";

using CheckSpooler = SystemTest;
using SpoolerRestartGuard = SystemTest;

// Failures are reported one level below the header; a spooler that runs is left alone.
TEST_F(CheckSpooler, StartsAStoppedSpoolerAndReportsEachFailure) {
    const struct {
        const char* name;
        std::function<void()> arrange;
        bool running;
        std::string errorLine;
        uint64_t waitedMs;
        unsigned starts;
    } rows[] = {
        {"running", [] {}, true, "", 0, 0},
        {"stopped",
         [] {
             setServiceRunning("spooler", false);
             setServiceStartDelay("spooler", 1000);
         },
         true, "", 1000, 1},
        // Seen running by the last of the 51 queries.
        {"running after exactly 10 s",
         [] {
             setServiceRunning("spooler", false);
             setServiceStartDelay("spooler", 10000);
         },
         true, "", 10000, 1},
        {"standard user", [] { setAdministrator(false); }, false,
         "  Error(1): Can't open service manager. - (Access is denied.)\r\n", 0, 0},
        {"no spooler installed", [] { removeService("spooler"); }, false,
         "  Error(2): Can't open the spooler - (The specified service does not exist as an "
         "installed service.)\r\n",
         0, 0},
        {"start right withheld",
         [] { setServiceGrantedAccess("spooler", SERVICE_QUERY_STATUS | SERVICE_STOP); }, false,
         "  Error(2): Can't open the spooler - (Access is denied.)\r\n", 0, 0},
        {"only query and start granted",
         [] { setServiceGrantedAccess("spooler", SERVICE_QUERY_STATUS | SERVICE_START); }, true, "",
         0, 0},
        {"disabled",
         [] {
             setServiceRunning("spooler", false);
             setServiceStartType("spooler", SERVICE_DISABLED);
         },
         false,
         "  Error(4): Can't start the spooler - (The service cannot be started, either because "
         "it is disabled or because it has no enabled devices associated with it.)\r\n",
         10000, 0},
        {"never starts",
         [] {
             setServiceRunning("spooler", false);
             setServiceNeverStarts("spooler", true);
         },
         false, "  Error(4): Can't start the spooler\r\n", 10000, 1},
    };
    for (const auto& row : rows) {
        TearDown();
        SetUp();
        row.arrange();
        SetLastError(0);
        EXPECT_EQ(row.running, checkSpooler(context())) << row.name;
        EXPECT_EQ(">Check Spooler\r\n" + row.errorLine, log()) << row.name;
        EXPECT_EQ(row.running ? 0 : 1, context().errorCount) << row.name;
        EXPECT_EQ(0, context().logDepth) << row.name;
        EXPECT_EQ(row.waitedMs, elapsedMs()) << row.name;
        EXPECT_EQ(row.starts, serviceStartCount("spooler")) << row.name;
    }
}

struct GuardRow {
    const char* name;
    std::function<void()> arrange;
    std::string log; // what a guard with a context writes
    int errors;
    uint32_t stateInside;
    uint64_t msToStop;  // waited while the guard was created
    uint64_t msInTotal; // when it has ended
    uint32_t stateAfter;
};

TEST_F(SpoolerRestartGuard, StopsAndStartsTheSpoolerAndReportsEachFailure) {
    const GuardRow rows[] = {
        {"running", [] {}, ">Restart Spooler\r\n", 0, SERVICE_STOPPED, 400, 1000, SERVICE_RUNNING},
        {"already stopped", [] { setServiceRunning("spooler", false); }, ">Restart Spooler\r\n", 0,
         SERVICE_STOPPED, 0, 600, SERVICE_RUNNING},
        {"never stops", [] { setServiceNeverStops("spooler", true); },
         ">Restart Spooler\r\nError(3): Can't stop the spooler\r\n"
         "Error(4): Can't start the spooler - (An instance of the service is already running.)\r\n",
         2, SERVICE_STOP_PENDING, 10000, 20000, SERVICE_STOP_PENDING},
        {"dependent service running", [] { setServiceRunning("Fax", true); },
         ">Restart Spooler\r\nError(5): ControlService failed with code 1051 (0x41b) - (" +
             std::string(kDependentsRunning) + ")\r\nError(3): Can't stop the spooler - (" +
             kDependentsRunning + ")\r\n",
         2, SERVICE_RUNNING, 10000, 10000, SERVICE_RUNNING},
        {"stop refused once", [] { failServiceStop("spooler", ERROR_ACCESS_DENIED, 1); },
         ">Restart Spooler\r\nError(5): ControlService failed with code 5 (0x5) - (Access is "
         "denied.)\r\nError(3): Can't stop the spooler - (Access is denied.)\r\n",
         2, SERVICE_RUNNING, 10000, 10000, SERVICE_RUNNING},
        {"manager refused", [] { setAdministrator(false); },
         ">Restart Spooler\r\nError(1): Can't open service manager. - (Access is denied.)\r\n", 1,
         SERVICE_RUNNING, 0, 0, SERVICE_RUNNING},
        {"stop right withheld",
         [] { setServiceGrantedAccess("spooler", SERVICE_QUERY_STATUS | SERVICE_START); },
         ">Restart Spooler\r\nError(2): Can't open the spooler - (Access is denied.)\r\n", 1,
         SERVICE_RUNNING, 0, 0, SERVICE_RUNNING},
        {"only query, start and stop granted",
         [] {
             setServiceGrantedAccess("spooler",
                                     SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP);
         },
         ">Restart Spooler\r\n", 0, SERVICE_STOPPED, 400, 1000, SERVICE_RUNNING},
    };
    // Each situation runs twice: with a context the guard writes exactly these lines; without
    // one it writes nothing, yet stops, waits and starts the same.
    for (const GuardRow& row : rows) {
        for (bool withContext : {true, false}) {
            TearDown();
            SetUp();
            row.arrange();
            SetLastError(0);
            {
                SpoolerRestart restart(withContext ? &context() : nullptr);
                EXPECT_EQ(row.stateInside, serviceState("spooler")) << row.name;
                EXPECT_EQ(row.msToStop, elapsedMs()) << row.name;
            }
            EXPECT_EQ(row.msInTotal, elapsedMs()) << row.name;
            EXPECT_EQ(row.stateAfter, serviceState("spooler")) << row.name;
            EXPECT_EQ(withContext ? row.log : "", log()) << row.name;
            EXPECT_EQ(withContext ? row.errors : 0, context().errorCount) << row.name;
            EXPECT_EQ(0, context().logDepth) << row.name;
        }
    }
}

} // namespace
