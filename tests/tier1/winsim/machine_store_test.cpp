// Fresh machines and the machine directory: what is saved comes back byte for byte, the
// registry and the settings, and what the models hold beyond the registry: services with
// their pending transitions and faults, the spooler's knobs and loaded files, held and
// read-only files and medium faults, and the other programs: what one run leaves running,
// the next run meets. The installer's commands run one per process against it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>

#include <windows.h>
#include <winspool.h>

#include "machine.h"
#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

using winsim::Hive;
using winsim::Registry;
using winsim::RegKey;
namespace control = winsim::control;
using StateFiles = MachineTest;

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class MachineStore : public MachineTest {
  protected:
    Registry& registry() { return winsim::machine().registry; }
};

// The whole tree as text: each key's name, then its values' names, types and bytes.
std::string dump(const RegKey& key) {
    std::string out = "[" + key.name + "]\n";
    for (const auto& entry : key.values) {
        out += entry.second.name + " " + std::to_string(entry.second.type) + ":";
        for (uint8_t byte : entry.second.data) {
            out += " " + std::to_string(byte);
        }
        out += "\n";
    }
    for (const auto& entry : key.subkeys) {
        out += dump(*entry.second);
    }
    return out;
}

void fillOddValues(Registry& registry) {
    RegKey* session =
        registry.create(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager");
    Registry::setMultiString(*session, "PendingFileRenameOperations",
                             {"\\??\\C:\\Windows\\system32\\orvmon64.dll", "",
                              "\\??\\C:\\tmp\\new.dll", "!\\??\\C:\\Windows\\system32\\x.dll"});
    RegKey* odd =
        registry.create(Hive::CurrentUser, "Software\\Odd %41 Names\\Caf\xC3\xA9\\tab\there");
    const uint8_t noTerminator[] = {'a', 0, 'b', 0, 'c', 0};
    const uint8_t embeddedNul[] = {'a', 0, 0, 0, 'b', 0, 0, 0};
    const uint8_t oddSize[] = {'a', 0, 'b'};
    const uint8_t loneSurrogate[] = {0x00, 0xD8, 0, 0};
    const uint8_t expand[] = {'%', 0, 'x', 0, '%', 0, 0, 0};
    const uint8_t qword[] = {1, 2, 3, 4, 5, 6, 7, 8};
    Registry::setValue(*odd, "no terminator", REG_SZ, noTerminator, sizeof noTerminator);
    Registry::setValue(*odd, "embedded nul", REG_SZ, embeddedNul, sizeof embeddedNul);
    Registry::setValue(*odd, "odd size", REG_SZ, oddSize, sizeof oddSize);
    Registry::setValue(*odd, "lone surrogate", REG_SZ, loneSurrogate, sizeof loneSurrogate);
    Registry::setValue(*odd, "expand", REG_EXPAND_SZ, expand, sizeof expand);
    Registry::setValue(*odd, "qword", REG_QWORD, qword, sizeof qword);
    Registry::setValue(*odd, "empty binary", REG_BINARY, nullptr, 0);
    Registry::setValue(*odd, "empty sz", REG_SZ, nullptr, 0);
    Registry::setString(*odd, "", "default \"quoted\" \\ back\\slash\nnew line 100%");
    Registry::setString(*odd, "Name \"with\" = and \\ and\r\n", "Caf\xC3\xA9 \xE4\xB8\xAD");
    Registry::setDword(*odd, "@", 0xCAFEF00D);
    Registry::setString(*odd, "pair", "printer \xF0\x9F\x96\xA8");
    std::vector<uint8_t> big(100);
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<uint8_t>(i * 7);
    }
    Registry::setValue(*odd, "big", REG_BINARY, big.data(), big.size());
    Registry::setValue(*odd, "short dword", REG_DWORD, big.data(), 3);
}

// Other tests' loops over fresh machines show the models forgotten; the last error no
// model holds.
TEST_F(MachineStore, FreshMachineClearsTheLastError) {
    SetLastError(5);
    control::freshMachine(dir());
    EXPECT_EQ(0u, GetLastError());
}

TEST_F(MachineStore, SaveThenLoadGivesBackEveryKeyValueAndSetting) {
    fillOddValues(registry());
    control::setClockMs(123456789012ULL);
    control::setProgramPath("C:\\Setup 100%\\folioinst.exe");
    control::setCommandLine("\"C:\\Setup 100%\\folioinst.exe\" install\n\"x\\\"");
    control::setWindowsVersion(10, 0, 19045, VER_PLATFORM_WIN32_NT);
    control::setAdministrator(false);

    const std::string before =
        dump(registry().root(Hive::LocalMachine)) + dump(registry().root(Hive::CurrentUser));
    reload();
    EXPECT_EQ(before,
              dump(registry().root(Hive::LocalMachine)) + dump(registry().root(Hive::CurrentUser)));
    const winsim::MachineSettings& s = winsim::machine().settings;
    EXPECT_EQ(123456789012ULL, control::clockMs());
    EXPECT_EQ("C:\\Setup 100%\\folioinst.exe", s.programPath);
    EXPECT_EQ("\"C:\\Setup 100%\\folioinst.exe\" install\n\"x\\\"", s.commandLine);
    EXPECT_EQ((std::vector<uint32_t>{10, 0, 19045, VER_PLATFORM_WIN32_NT}),
              (std::vector<uint32_t>{s.osMajor, s.osMinor, s.osBuild, s.osPlatform}));
    EXPECT_FALSE(s.administrator);
    EXPECT_EQ(dir(), winsim::machine().hostDir);
}

TEST_F(MachineStore, HiveFileIsReadableText) {
    RegKey* run =
        registry().find(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    Registry::setString(*run, "FolioscopeTray", "C:\\Program Files\\Folioscope\\foltray.exe");
    Registry::setDword(*run, "Count", 42);
    ASSERT_TRUE(control::saveMachine(dir()));
    const std::string text = fileText(dir() + "/registry/HKLM.reg");
    EXPECT_NE(
        std::string::npos,
        text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
                  "\"Count\"=dword:0000002a\n"
                  "\"FolioscopeTray\"=\"C:\\\\Program Files\\\\Folioscope\\\\foltray.exe\"\n"))
        << text;
}

// A damage anywhere fails the whole load: the hives are rewritten as given, the models'
// files get the damage appended.
TEST_F(MachineStore, DamagedOrMissingMachineDoesNotLoad) {
    EXPECT_FALSE(control::machineExists(dir()));
    EXPECT_FALSE(control::loadMachine(dir()));
    const std::pair<const char*, const char*> damages[] = {
        {"registry/HKLM.reg", "\"value before any key\"=dword:00000001\n"},
        {"registry/HKLM.reg", "[HKEY_CURRENT_USER\\Software]\n"},
        {"registry/HKLM.reg", "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"v\"=hex:1,2\n"},
        {"registry/HKLM.reg", "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"v\"=dword:123\n"},
        {"registry/HKLM.reg", "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\"v=\"x\"\n"},
        {"services.txt", "[Spooler]\nneverStops=2\n"},
        {"services.txt", "[Spooler]\nstate=HALF_RUNNING\n"},
        {"services.txt", "[Spooler]\nstartDelayMs=-5\n"},
        {"services.txt", "[Spooler]\ncolour=blue\n"},
        {"spooler.txt", "fault\t99\t1\t5\n"},
        {"programs.txt", "[window]\nhwnd=x\n"},
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.second);
        ASSERT_TRUE(control::saveMachine(dir()));
        EXPECT_TRUE(control::machineExists(dir()));
        const bool hive = std::string(damage.first).find(".reg") != std::string::npos;
        std::ofstream(dir() + "/" + damage.first, hive ? std::ios::trunc : std::ios::app)
            << damage.second;
        EXPECT_FALSE(control::loadMachine(dir()));
    }
    ASSERT_TRUE(control::saveMachine(dir()));
    std::filesystem::remove(dir() + "/registry/HKCU.reg");
    EXPECT_FALSE(control::loadMachine(dir()));
}

const char kMonitorDll[] = "C:\\Windows\\system32\\orvmon64.dll";
const char kTray[] = "C:\\Program Files\\Folioscope\\foltray.exe";

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
    control::addPrinterConnection("srv", "Shared", driver.name, "LPT1:");
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
    EXPECT_EQ(fileText(dir() + "/programs.txt"), fileText(dir() + "/again/programs.txt"));
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
