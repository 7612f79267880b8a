// The port monitor steps of an uninstall and a reinstall: the version check and the flags it
// leaves, how removal and registration are retried, and the enumeration's failures. Whole
// removals and reinstalls are pinned by the golden logs.
#include "spool_test_support.h"

#include <array>
#include <functional>
#include <utility>

#include "spool/file_build_number.h"
#include "spool/monitor_list.h"
#include "spool/port_monitor.h"

namespace {

using namespace spool_test;
namespace control = winsim::control;

using PortMonitorTest = MachineTest;
using Case = std::pair<const char*, std::function<void()>>;

// Whether the monitor is registered and the build of the DLL in the system directory.
std::string monitorState() {
    bool registered = false;
    for (const control::MonitorState& monitor : control::monitors()) {
        registered = registered || monitor.name == "Folioscope:";
    }
    return std::string(registered ? "registered" : "not registered") + ", system DLL build " +
           std::to_string(fileBuildNumber(W(kMonitorDll))) + "\n";
}

TEST_F(PortMonitorTest, OnlyTheFourthProductVersionComponentDecides) {
    using control::UnversionedPe;
    const auto build = [](uint16_t number) {
        return [=] { writeMonitorDll(kMonitorDll, number); };
    };
    const Case rows[] = {
        {"1213", build(1213)},
        {"1214", build(1214)},
        {"2060", build(2060)},
        {"2061", build(2061)},
        {"65535", build(65535)},
        {"3.0.0.1500 with file version 1.0.0.9999",
         [] {
             control::VersionedPeOptions options;
             options.fileVersion = std::array<uint16_t, 4>{1, 0, 0, 9999};
             control::writeVersionedPe(kMonitorDll, 3, 0, 0, 1500, options);
         }},
        {"2060 registered, the only monitor",
         [] {
             registerProductMonitor(2060);
             ASSERT_TRUE(DeleteMonitorW(nullptr, nullptr, W("Local Port")));
         }},
        {"9.9.9.9", [] { control::writeVersionedPe(kMonitorDll, 9, 9, 9, 9); }},
        {"0", build(0)},
        {"no file", [] {}},
        {"resources without a version",
         [] { control::writeUnversionedPe(kMonitorDll, UnversionedPe::otherResources); }},
        {"no resources",
         [] { control::writeUnversionedPe(kMonitorDll, UnversionedPe::noResources); }},
    };
    std::string transcript;
    for (const Case& row : rows) {
        freshRow(dir());
        row.second();
        InstallContext context;
        context.reinstall = true;
        logCase(transcript, row.first, context, [&] { removeMonitorAsUninstallDoes(context); });
        transcript += "InstallMonitor " + std::to_string(context.InstallMonitor) +
                      ", CopyMonitor " + std::to_string(context.CopyMonitor) + "\n";
    }
    expectGolden("spool/monitor-version", transcript);
}

// Refusals while no printer needs parking: one spooler restart, then error 12. A DLL the
// spooler still maps after the delete is left for the deferred deletion. A monitor missing
// from a list that could not be read is removed the same way: only the spooler's "unknown
// monitor" excuses a failure (the state table's rows "not found"), and never for a listed one.
TEST_F(PortMonitorTest, RemovalEscalatesToARestartThenReportsError12) {
    using control::SpoolerCall;
    const Case rows[] = {
        {"refused twice",
         [] {
             control::failSpoolerCall(SpoolerCall::DeleteMonitor, 2, ERROR_PRINT_MONITOR_IN_USE);
         }},
        {"refused three times",
         [] {
             control::failSpoolerCall(SpoolerCall::DeleteMonitor, 3, ERROR_PRINT_MONITOR_IN_USE);
         }},
        {"listed, then unknown to the spooler",
         [] {
             control::failSpoolerCall(SpoolerCall::DeleteMonitor, 3, ERROR_UNKNOWN_PRINT_MONITOR);
         }},
        {"the only monitor",
         [] { ASSERT_TRUE(DeleteMonitorW(nullptr, nullptr, W("Local Port"))); }},
        {"DLL still mapped", [] { control::keepMonitorDllAfterDelete("Folioscope:", true); }},
        {"unlisted, spooler gone",
         [] {
             control::failSpoolerCall(SpoolerCall::EnumMonitors, 1, RPC_S_SERVER_UNAVAILABLE);
             control::failSpoolerCall(SpoolerCall::DeleteMonitor, 3, RPC_S_SERVER_UNAVAILABLE);
         }},
    };
    std::string transcript;
    for (const Case& row : rows) {
        freshRow(dir());
        registerProductMonitor(1000);
        row.second();
        InstallContext context;
        logCase(transcript, row.first, context, [&] { removeMonitorAsUninstallDoes(context); });
        transcript += outcome(context) + monitorState();
        EXPECT_EQ(nullptr, context.parkedPrinters);
    }
    expectGolden("spool/monitor-removal", transcript);
}

// A DLL the spooler holds is copied after a restart; registration is tried five times 50 ms
// apart.
TEST_F(PortMonitorTest, CopyAndRegistrationAreRetried) {
    std::string transcript;
    for (unsigned failures : {0u, 2u, 5u}) {
        freshRow(dir());
        writeMonitorDll(kMonitorDll, 1000);
        writeMonitorDll(kProgramDir + "orvmon64.dll", 2050);
        if (failures == 0) {
            control::holdFileBySpooler(kMonitorDll, true);
        }
        control::failSpoolerCall(control::SpoolerCall::AddMonitor, failures, ERROR_ACCESS_DENIED);
        InstallContext context;
        context.CopyMonitor = failures == 0;
        uint64_t start = control::clockMs();
        logCase(transcript, std::to_string(failures) + " refusals", context,
                [&] { installPortMonitor(context); });
        transcript += outcome(context) + monitorState() + "waited " +
                      std::to_string(control::clockMs() - start) + " ms\n";
    }
    expectGolden("spool/monitor-install", transcript);
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
    expectGolden("spool/monitor-list", logOf(context, [&] { logMonitorList(context, list); }));
    entries[2].pName = product;
    EXPECT_EQ(2, findProductMonitor(list));
    // Found without a DLL name: the monitor goes and the system directory is not a file to delete.
    WCHAR noName[] = L"";
    for (WCHAR* dll : {static_cast<WCHAR*>(nullptr), noName}) {
        entries[2].pDLLName = dll;
        registerProductMonitor(1000);
        removePortMonitor(context, list);
        EXPECT_EQ("not registered, system DLL build 1000\n", monitorState());
        EXPECT_EQ("errors 0, deferred\n", outcome(context));
    }
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
    } rows[] = {{0, RPC_S_SERVER_UNAVAILABLE},
                {0, 0x2BADu},
                {0, ERROR_MR_MID_NOT_FOUND},
                {1, ERROR_INSUFFICIENT_BUFFER},
                {1, 0}};
    std::string transcript;
    for (const auto& row : rows) {
        InstallContext context;
        if (row.error == 0) {
            control::failAllocations(0, 1);
        } else {
            control::failSpoolerCall(control::SpoolerCall::EnumMonitors, 1, row.error,
                                     row.answered);
        }
        MonitorList monitors{nullptr, 0, 7};
        logCase(transcript,
                std::to_string(row.answered) + " answered, error " + std::to_string(row.error),
                context, [&] { enumerateMonitors(monitors, context); });
        transcript += "last error " + std::to_string(GetLastError()) + ", list " +
                      (monitors.monitors ? "kept" : "none") + ", count " +
                      std::to_string(monitors.count) + ", level " + std::to_string(monitors.level) +
                      "\n" + outcome(context);
    }
    expectGolden("spool/monitor-enumeration", transcript);
}

} // namespace
