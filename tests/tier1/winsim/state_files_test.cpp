// A saved machine keeps what its models hold beyond the registry: services with their
// pending transitions and faults, the spooler's knobs and loaded files, held and read-only
// files and medium faults. The installer's commands run one per process against it.
#include "support/machine_test.h"

#include <winspool.h>

#include "winsim/control.h"

namespace {

namespace control = winsim::control;
using StateFiles = MachineTest;

const char kMonitorDll[] = "C:\\Windows\\system32\\orvmon64.dll";

DWORD stopService(const wchar_t* name) {
    SC_HANDLE scm = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = OpenServiceW(scm, name, SERVICE_STOP);
    SERVICE_STATUS status;
    SetLastError(0);
    DWORD error = ControlService(service, SERVICE_CONTROL_STOP, &status) ? 0 : GetLastError();
    CloseServiceHandle(service);
    CloseServiceHandle(scm);
    return error;
}

TEST_F(StateFiles, ServicesResumeTheirPendingStopAndKeepTheirFaults) {
    control::setServiceStopDelay("Spooler", 1000);
    ASSERT_EQ(0u, stopService(L"Spooler"));
    control::failServiceStop("Spooler", ERROR_SERVICE_REQUEST_TIMEOUT, 1);
    Sleep(300);
    reload();
    Sleep(699);
    EXPECT_EQ(uint32_t{SERVICE_STOP_PENDING}, control::serviceState("Spooler"));
    Sleep(1);
    EXPECT_EQ(uint32_t{SERVICE_STOPPED}, control::serviceState("Spooler"));
    control::setServiceRunning("Spooler", true);
    EXPECT_EQ(DWORD{ERROR_SERVICE_REQUEST_TIMEOUT}, stopService(L"Spooler"));
    EXPECT_EQ(0u, stopService(L"Spooler")) << "the fault was for one stop";
}

TEST_F(StateFiles, SpoolerKeepsItsObjectsKnobsAndLoadedMonitor) {
    control::registerMonitor("Folioscope:", "orvmon64.dll", "3.0.0.2060");
    control::DriverSetup driver;
    driver.name = "Folioscope printer";
    driver.driverFile = "orvdrv64.dll";
    driver.configFile = "orvui64.dll";
    driver.manufacturer = "Orvanta Software Kft.";
    control::registerDriver(driver);
    control::PrinterSetup printer;
    printer.name = "Folioscope";
    printer.port = "Folioscope:";
    printer.driver = driver.name;
    printer.jobs = 3;
    printer.data = {{"DsUser", "SubKey", "abc"}};
    control::addPrinter(printer);
    control::setDefaultPrinter("Folioscope");
    control::failSpoolerCall(control::SpoolerCall::DeleteMonitor, 1, ERROR_PRINT_MONITOR_IN_USE);
    control::keepMonitorDllAfterDelete("Folioscope:", true);
    const std::string before = control::describeMachine();
    reload();
    EXPECT_EQ(before, control::describeMachine());
    EXPECT_FALSE(DeleteMonitorW(nullptr, nullptr, const_cast<LPWSTR>(L"Folioscope:")));
    EXPECT_EQ(DWORD{ERROR_PRINT_MONITOR_IN_USE}, GetLastError()) << "the fault was kept";
    control::setPrinterJobs("Folioscope", 0);
    HANDLE h = nullptr;
    PRINTER_DEFAULTSW all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(L"Folioscope"), &h, &all));
    EXPECT_TRUE(DeletePrinter(h));
    ClosePrinter(h);
    EXPECT_TRUE(DeleteMonitorW(nullptr, nullptr, const_cast<LPWSTR>(L"Folioscope:")));
    EXPECT_FALSE(DeleteFileW(W(kMonitorDll))) << "kept loaded after its deletion";
    EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, GetLastError());
}

TEST_F(StateFiles, FilesKeepHoldsReadOnlyMarksAndMediumFaults) {
    control::writeFile("C:\\Data\\ro.txt", "r");
    control::writeFile("C:\\Data\\bad.bin", std::string(100, 'b'));
    control::setReadOnly("C:\\Data\\ro.txt", true);
    control::holdFile("C:\\Data\\bad.bin", "viewer.exe", false, 5000);
    control::setFailingOpenCostMs(200);
    control::setDiskFreeBytes(3);
    control::failReadsAfter("C:\\Data\\bad.bin", 10, ERROR_CRC);
    reload();

    EXPECT_FALSE(DeleteFileW(W("C:\\Data\\ro.txt")));
    EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(W("C:\\Data\\bad.bin"), GENERIC_WRITE, 0, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(DWORD{ERROR_SHARING_VIOLATION}, GetLastError());
    EXPECT_EQ(200u, GetTickCount()) << "the failing open cost its 200 ms";
    Sleep(5000);
    char buffer[64];
    DWORD count = 0;
    HANDLE in = CreateFileW(W("C:\\Data\\bad.bin"), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(ReadFile(in, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(DWORD{ERROR_CRC}, GetLastError());
    CloseHandle(in);
    HANDLE out =
        CreateFileW(W("C:\\Data\\new.txt"), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    EXPECT_FALSE(WriteFile(out, "abcd", 4, &count, nullptr));
    EXPECT_EQ(DWORD{ERROR_DISK_FULL}, GetLastError());
    CloseHandle(out);
}

} // namespace
