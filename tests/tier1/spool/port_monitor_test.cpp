// The port monitor steps of an uninstall and a reinstall: the version check and the flags it
// leaves, how removal and registration are retried, and the enumeration's failures. Whole
// removals and reinstalls are pinned by the golden logs.
#include "spool_test_support.h"

#include <array>
#include <functional>
#include <vector>

#include "spool/file_build_number.h"
#include "spool/monitor_list.h"
#include "spool/port_monitor.h"

namespace {

using namespace spool_test;
namespace control = winsim::control;

using PortMonitorTest = MachineTest;

const int kNoFile = -1;
const uint16_t kShippedBuild = 2050; // the DLL next to the program

bool monitorRegistered() {
    for (const control::MonitorState& monitor : control::monitors()) {
        if (monitor.name == "Folioscope:") {
            return true;
        }
    }
    return false;
}

int systemDllBuild() {
    return fileBuildNumber(W(kMonitorDll));
}

const std::string kNotFoundHeader = lines({
    ">DeleteMonitor",
    "  ------- 1 existing monitors ----------",
    "  1. Local Port",
    "  ---------------------------------------",
    "  No Folioscope port monitor was found.",
    "  Computing monitor filename",
    "  Auto calculated monitor file name: C:\\Windows\\system32\\orvmon64.dll",
});

const std::string kNotFoundEnd =
    lines({"  Can't delete monitor and monitor was not found. So everything should be ok"});

const int kUnknown = -1;

std::string versionLine(int shown, bool compatible) {
    if (shown == kUnknown) {
        return "  Version is unknown, proceed with reinstall";
    }
    return "  Version (" + std::to_string(shown) + ") is " +
           (compatible ? "compatible, proceed without uninstall"
                       : "not supported, proceed with reinstall");
}

TEST_F(PortMonitorTest, OnlyTheFourthProductVersionComponentDecides) {
    using control::UnversionedPe;
    const auto build = [](uint16_t number) {
        return [=] { writeMonitorDll(kMonitorDll, number); };
    };
    const struct {
        const char* situation;
        std::function<void()> place;
        int shown;
        bool compatible;
    } rows[] = {
        {"1213", build(1213), 1213, false},
        {"1214", build(1214), 1214, true},
        {"2060", build(2060), 2060, true},
        {"2061", build(2061), 2061, false},
        {"3.0.0.1500 with file version 1.0.0.9999",
         [] {
             control::VersionedPeOptions options;
             options.fileVersion = std::array<uint16_t, 4>{1, 0, 0, 9999};
             control::writeVersionedPe(kMonitorDll, 3, 0, 0, 1500, options);
         },
         1500, true},
        {"9.9.9.9", [] { control::writeVersionedPe(kMonitorDll, 9, 9, 9, 9); }, 9, false},
        {"0", build(0), 0, false},
        {"no file", [] {}, kUnknown, false},
        {"resources without a version",
         [] { control::writeUnversionedPe(kMonitorDll, UnversionedPe::otherResources); }, kUnknown,
         false},
        {"no resources",
         [] { control::writeUnversionedPe(kMonitorDll, UnversionedPe::noResources); }, kUnknown,
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        control::freshMachine(dir());
        row.place();
        InstallContext context;
        context.reinstall = true;
        const std::string tail =
            row.compatible ? lines({"  InstallMonitor == 1, CopyMonitor == 0"}) : kNotFoundEnd;
        EXPECT_EQ(kNotFoundHeader + lines({versionLine(row.shown, row.compatible)}) + tail,
                  logOf(context, [&] { removeMonitorAsUninstallDoes(context); }));
        EXPECT_TRUE(context.InstallMonitor);
        EXPECT_EQ(!row.compatible, context.CopyMonitor);
    }
}

// Refusals while no printer needs parking: one spooler restart, then error 12. A DLL the
// spooler still maps after the delete is left for the deferred deletion. A monitor missing
// from a list that could not be read is removed the same way: only the spooler's "unknown
// monitor" excuses a failure (the state table's rows "not found").
TEST_F(PortMonitorTest, RemovalEscalatesToARestartThenReportsError12) {
    const std::string listed = foundMonitorHeader();
    const std::string unlisted =
        lines({"2. EnumMonitors  failed with code: The RPC server is unavailable.\r\n",
               ">DeleteMonitor", "  BTW, there is no port monitors on this system.",
               "  No Folioscope port monitor was found.", "  Computing monitor filename",
               "  Auto calculated monitor file name: C:\\Windows\\system32\\orvmon64.dll"});
    const std::string retried =
        lines({"  Can't delete monitor from the first try", "  >Restart Spooler"});
    const struct {
        const char* situation;
        std::string header;
        std::function<void()> arrange;
        std::string tail;
        bool registered;
        int build;
        bool deferred;
    } rows[] = {
        {"refused twice", listed,
         [] {
             control::failSpoolerCall(control::SpoolerCall::DeleteMonitor, 2,
                                      ERROR_PRINT_MONITOR_IN_USE);
         },
         retried + lines({"  Monitor was removed :)"}), false, kNoFile, false},
        {"refused three times", listed,
         [] {
             control::failSpoolerCall(control::SpoolerCall::DeleteMonitor, 3,
                                      ERROR_PRINT_MONITOR_IN_USE);
         },
         retried + lines({"  Error(12): Can`t remove the port monitor 'Folioscope:' - (The "
                          "specified print monitor is currently in use.)"}),
         true, 1000, false},
        {"DLL still mapped", listed,
         [] { control::keepMonitorDllAfterDelete("Folioscope:", true); },
         lines({"  Monitor was removed :)"}), false, 1000, true},
        {"unlisted, spooler gone", unlisted,
         [] {
             control::failSpoolerCall(control::SpoolerCall::EnumMonitors, 1,
                                      RPC_S_SERVER_UNAVAILABLE);
             control::failSpoolerCall(control::SpoolerCall::DeleteMonitor, 3,
                                      RPC_S_SERVER_UNAVAILABLE);
         },
         retried + lines({"  Error(12): Can`t remove the port monitor 'Folioscope:' - (The RPC "
                          "server is unavailable.)"}),
         true, 1000, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        control::freshMachine(dir());
        registerProductMonitor(1000);
        row.arrange();
        InstallContext context;
        EXPECT_EQ(row.header + lines({"  There is no check for monitor version"}) + row.tail,
                  logOf(context, [&] { removeMonitorAsUninstallDoes(context); }));
        EXPECT_EQ(row.registered ? 1 : 0, context.errorCount);
        EXPECT_EQ(nullptr, context.parkedPrinters);
        EXPECT_EQ(row.registered, monitorRegistered());
        EXPECT_EQ(row.build, systemDllBuild());
        ASSERT_EQ(row.deferred, context.deferredFiles != nullptr);
        if (row.deferred) {
            EXPECT_EQ(kMonitorDll, u8(context.deferredFiles->path));
            EXPECT_EQ(nullptr, context.deferredFiles->next);
        }
    }
}

TEST_F(PortMonitorTest, LockedMonitorFileIsCopiedWithTheSpoolerStopped) {
    writeMonitorDll(kProgramDir + "orvmon64.dll", kShippedBuild);
    writeMonitorDll(kMonitorDll, 1000);
    control::holdFileBySpooler(kMonitorDll, true);
    InstallContext context;
    EXPECT_EQ(
        lines({">AddMonitor", "  Copy monitor file",
               "  >CopyFile orvmon64.dll to C:\\Windows\\system32\\ [0])", "    Copy Failed :(",
               "  >Restart Spooler", "  >CopyFile orvmon64.dll to C:\\Windows\\system32\\ [1])",
               "    Copy Succeeded :)", "  AddMonitor - OK :)"}),
        logOf(context, [&] { installPortMonitor(context); }));
    EXPECT_EQ(kShippedBuild, systemDllBuild());
    EXPECT_TRUE(monitorRegistered());
    EXPECT_EQ(0, context.errorCount);
}

TEST_F(PortMonitorTest, RegistrationIsTriedFiveTimes50MsApart) {
    const std::string failed = "  AddMonitor - failed. Trying to wait and install again";
    const struct {
        unsigned failures;
        uint64_t waitedMs;
        std::string log;
    } rows[] = {
        {5, 200,
         lines({">AddMonitor", "  Skip copy monitor file", failed, failed, failed, failed, failed,
                "  Error(11): Can`t install a local port monitor'Folioscope:' - (Access is "
                "denied.)"})},
        {2, 100,
         lines(
             {">AddMonitor", "  Skip copy monitor file", failed, failed, "  AddMonitor - OK :)"})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.failures);
        control::freshMachine(dir());
        writeMonitorDll(kMonitorDll, 2060);
        control::failSpoolerCall(control::SpoolerCall::AddMonitor, row.failures,
                                 ERROR_ACCESS_DENIED);
        InstallContext context;
        context.CopyMonitor = false;
        uint64_t start = control::clockMs();
        EXPECT_EQ(row.log, logOf(context, [&] { installPortMonitor(context); }));
        EXPECT_EQ(row.waitedMs, control::clockMs() - start);
        EXPECT_EQ(row.failures == 5 ? 1 : 0, context.errorCount);
        EXPECT_EQ(row.failures < 5, monitorRegistered());
    }
}

// A monitor without a name is listed as such and is never the product's.
TEST_F(PortMonitorTest, LookupIsExactAndCaseSensitive) {
    WCHAR product[] = L"Folioscope:";
    WCHAR lower[] = L"folioscope:";
    WCHAR longer[] = L"Folioscope:2";
    MONITOR_INFO_2W entries[3] = {
        {lower, nullptr, nullptr}, {longer, nullptr, nullptr}, {nullptr, nullptr, nullptr}};
    MonitorList list{entries, 2, 3};
    EXPECT_EQ(-1, findProductMonitor(list));
    InstallContext context;
    EXPECT_EQ(lines({"------- 3 existing monitors ----------", "1. folioscope:", "2. Folioscope:2",
                     "3. ***EMPTY***", "---------------------------------------"}),
              logOf(context, [&] { logMonitorList(context, list); }));
    entries[2].pName = product;
    EXPECT_EQ(2, findProductMonitor(list));
    MONITOR_INFO_1W level1[2] = {{lower}, {product}};
    MonitorList list1{reinterpret_cast<MONITOR_INFO_2W*>(level1), 1, 2};
    EXPECT_EQ(1, findProductMonitor(list1));
    list1.level = 3;
    EXPECT_EQ(-1, findProductMonitor(list1));
    EXPECT_EQ(-1, findProductMonitor(MonitorList{nullptr, 2, 0}));
}

// The fetch after the size probe fails as when a monitor is added in between; without
// memory for the list the caller is left the allocation's error.
TEST_F(PortMonitorTest, EnumerationFailuresAreLoggedWithTheRawSystemText) {
    const struct {
        unsigned answered; // calls answered before the failing one
        DWORD error;       // 0: the list's buffer cannot be allocated
        const char* line;
    } rows[] = {
        {0, RPC_S_SERVER_UNAVAILABLE,
         "2. EnumMonitors  failed with code: The RPC server is unavailable.\r\n"},
        {0, 0x2BADu, "2. EnumMonitors  failed with code: No Error or no description"},
        {1, ERROR_INSUFFICIENT_BUFFER,
         "3. EnumMonitors  failed with code: The data area passed to "
         "a system call is too small.\r\n"},
        {1, 0, "3. EnumMonitors - can't allocate memory for buffer"},
    };
    for (const auto& row : rows) {
        InstallContext context;
        if (row.error == 0) {
            control::failAllocations(0, 1);
        } else {
            control::failSpoolerCall(control::SpoolerCall::EnumMonitors, 1, row.error,
                                     row.answered);
        }
        MonitorList monitors{nullptr, 0, 7};
        EXPECT_EQ(std::string(row.line) + "\r\n",
                  logOf(context, [&] { enumerateMonitors(monitors, context); }));
        EXPECT_EQ(nullptr, monitors.monitors);
        EXPECT_EQ(0u, monitors.count);
        EXPECT_EQ(2u, monitors.level);
        EXPECT_EQ(0, context.errorCount);
        EXPECT_TRUE(row.error != 0 || GetLastError() == DWORD(E_OUTOFMEMORY));
    }
}

} // namespace
