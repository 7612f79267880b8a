// A saved machine keeps what its models hold beyond the registry: services with their
// pending transitions and faults, the spooler's knobs and loaded files, held and read-only
// files and medium faults, and the other programs: what one run leaves running, the next
// run meets. The installer's commands run one per process against it.
#include "support/machine_test.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include <winspool.h>

#include "winsim/control.h"

namespace {

namespace control = winsim::control;
using StateFiles = MachineTest;

const char kMonitorDll[] = "C:\\Windows\\system32\\orvmon64.dll";
const char kTray[] = "C:\\Program Files\\Folioscope\\foltray.exe";

std::string programsFile(const std::string& dir) {
    std::ifstream in(dir + "/programs.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

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

// Saved, loaded and saved again, the file is the same. What the installer had open does not
// survive it; a quit message the companion has not carried out yet still is carried out.
TEST_F(StateFiles, ProgramsWindowsMutexesAndPendingAnswersSurviveSaveAndLoad) {
    control::writeVersionedPe(kTray, 3, 0, 0, 2060);
    control::ProgramBehaviour holder = control::mutexHolder("Global\\Run", 9000, false);
    holder.imageHeldAfterEndMs = control::kNever;
    control::mapImage("C:\\Setup\\folioinst.exe", holder);
    control::startProgram("C:\\Windows\\hh.exe", control::helpViewer({"Folioscope Help", "b=%"}));
    STARTUPINFOW startup{};
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION info{};
    W line("\"" + std::string(kTray) + "\" 100%");
    ASSERT_TRUE(CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &info));
    control::startProgram("C:\\Setup\\folioinst.exe", control::mutexHolder("Global\\Run"));
    HANDLE solo = CreateMutexA(nullptr, TRUE, "Solo");
    PostMessageW(FindWindowW(W("fsp::{6C2F8A19-E4B7-4D03-A5E1-97B3C40D2E86}"), nullptr),
                 WM_USER + 2, 0, 0);
    Sleep(100);
    const std::string described = control::describePrograms();

    reload();
    ASSERT_TRUE(control::saveMachine(dir() + "/again"));
    EXPECT_EQ(programsFile(dir()), programsFile(dir() + "/again"));
    EXPECT_EQ(described.substr(0, described.find("mutex    Solo")), control::describePrograms());
    EXPECT_NE(std::string::npos, described.find("window   0x10044 HH Parent \"b=%\"\n"));

    Sleep(199);
    EXPECT_TRUE(control::programs()[1].running);
    Sleep(1);
    EXPECT_FALSE(control::programs()[1].running);
    control::startProgram("C:\\Setup\\folioinst.exe", holder);
    EXPECT_FALSE(control::programs().back().running) << "the first holder still owns the mutex";
    control::reboot();
    EXPECT_TRUE(control::programs().empty());
    EXPECT_TRUE(control::mutexes().empty());
    EXPECT_EQ(0u, control::openHandleCount());
    std::remove((dir() + "/programs.txt").c_str());
    EXPECT_TRUE(control::loadMachine(dir())) << "a machine saved before programs were simulated";
    (void)solo;
}

} // namespace
