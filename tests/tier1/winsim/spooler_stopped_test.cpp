// The spooler service stopped: every call fails with RPC_S_SERVER_UNAVAILABLE, the files it
// held become deletable, and no printer handle survives a restart.
#include <functional>

#include "spooler_test_support.h"

namespace {

using namespace spooler_test;
namespace control = winsim::control;

class SpoolerStoppedTest : public SpoolerTest {
  protected:
    void SetUp() override {
        SpoolerTest::SetUp();
        control::registerMonitor(kMonitor, kMonitorDll, "3.0.0.2060");
        control::registerDriver(productDriver("orvhelp.chm"));
        control::addPrinter(printerSetup("Folioscope", kMonitor, kDriver));
        control::setDefaultPrinter("Folioscope");
        writeMonitorDll("other.dll");
        stageDriverFiles();
    }
};

TEST_F(SpoolerStoppedTest, EveryEntryPointFailsWith1722) {
    PrinterGuard printer(openPrinter("Folioscope", PRINTER_ALL_ACCESS));
    ASSERT_NE(nullptr, printer.handle);
    HANDLE h = printer.handle;
    setSpoolerRunning(false);

    W name("Folioscope"), env("Windows x64"), monitor(kMonitor), driver(kDriver);
    BYTE buffer[4096];
    DWORD needed = kPoison;
    DWORD count = kPoison;
    PrinterInfo info("New", "LPT1:", kDriver);
    DriverInfo driverInfo(kDriver, "orvhelp.chm");
    W otherMonitor("Other:"), otherDll("other.dll");
    MONITOR_INFO_2W monitorInfo{otherMonitor, env, otherDll};
    WCHAR defaultName[64];
    DWORD chars = 64;
    const std::pair<const char*, std::function<bool()>> calls[] = {
        {"EnumPrintersW",
         [&] { return EnumPrintersW(6, nullptr, 2, buffer, 4096, &needed, &count) != 0; }},
        {"OpenPrinterW",
         [&] {
             HANDLE opened = nullptr;
             return OpenPrinterW(name, &opened, nullptr) != 0;
         }},
        {"GetPrinterW", [&] { return GetPrinterW(h, 2, buffer, 4096, &needed) != 0; }},
        {"SetPrinterW", [&] { return SetPrinterW(h, 2, info.bytes(), 0) != 0; }},
        {"AddPrinterW", [&] { return AddPrinterW(nullptr, 2, info.bytes()) != nullptr; }},
        {"DeletePrinter", [&] { return DeletePrinter(h) != 0; }},
        {"ClosePrinter", [&] { return ClosePrinter(h) != 0; }},
        {"GetPrinterDriverW",
         [&] { return GetPrinterDriverW(h, env, 2, buffer, 4096, &needed) != 0; }},
        {"EnumPrinterDriversW",
         [&] { return EnumPrinterDriversW(nullptr, env, 6, buffer, 4096, &needed, &count) != 0; }},
        {"GetPrinterDriverDirectoryW",
         [&] { return GetPrinterDriverDirectoryW(nullptr, env, 1, buffer, 4096, &needed) != 0; }},
        {"AddPrinterDriverExW",
         [&] {
             return AddPrinterDriverExW(nullptr, 6, driverInfo.bytes(), APD_COPY_ALL_FILES) != 0;
         }},
        {"DeletePrinterDriverExW",
         [&] {
             return DeletePrinterDriverExW(nullptr, env, driver, DPD_DELETE_ALL_FILES, 0) != 0;
         }},
        {"EnumMonitorsW",
         [&] { return EnumMonitorsW(nullptr, 2, buffer, 4096, &needed, &count) != 0; }},
        {"AddMonitorW",
         [&] { return AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&monitorInfo)) != 0; }},
        {"DeleteMonitorW", [&] { return DeleteMonitorW(nullptr, env, monitor) != 0; }},
        {"GetDefaultPrinterW", [&] { return GetDefaultPrinterW(defaultName, &chars) != 0; }},
        {"SetDefaultPrinterW", [&] { return SetDefaultPrinterW(name) != 0; }},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(call.first);
        poison();
        EXPECT_FALSE(call.second());
        EXPECT_EQ(DWORD{RPC_S_SERVER_UNAVAILABLE}, GetLastError());
    }
    EXPECT_EQ(kPoison, needed);
    EXPECT_EQ(kPoison, count);
    EXPECT_EQ(64u, chars);

    BYTE data[8] = "x";
    DWORD type = 0;
    LPSTR value = const_cast<LPSTR>("SubKey");
    poison();
    EXPECT_EQ(DWORD{RPC_S_SERVER_UNAVAILABLE}, SetPrinterDataA(h, value, REG_SZ, data, 2));
    EXPECT_EQ(DWORD{RPC_S_SERVER_UNAVAILABLE}, GetPrinterDataA(h, value, &type, data, 8, &needed));
    EXPECT_EQ(DWORD{RPC_S_SERVER_UNAVAILABLE},
              SetPrinterDataExA(h, "DsUser", "SubKey", REG_SZ, data, 2));
    EXPECT_EQ(DWORD{RPC_S_SERVER_UNAVAILABLE},
              GetPrinterDataExA(h, "DsUser", "SubKey", &type, data, 8, &needed));
    EXPECT_EQ(kPoison, GetLastError()) << "status calls leave the last error alone";

    EXPECT_EQ(1u, control::printers().size());
    EXPECT_EQ(2u, control::monitors().size());
    EXPECT_EQ(1u, control::drivers().size());
    setSpoolerRunning(true);
    printer.handle = nullptr; // died with the spooler process
}

TEST_F(SpoolerStoppedTest, HeldFilesAreFreeWhileStoppedAndHeldAgainAfterStart) {
    const std::string held[] = {system32(kMonitorDll), versionDir("orvdrv64.dll"),
                                versionDir("orvui64.dll"), versionDir("orvhelp.chm")};
    for (bool running : {true, false, true}) {
        setSpoolerRunning(running);
        for (const std::string& file : held) {
            EXPECT_EQ(running, writeError(file) != 0) << file << (running ? " held" : " free");
        }
    }
    setSpoolerRunning(false);
    for (const std::string& file : held) {
        EXPECT_EQ(0u, deleteError(file)) << file;
    }
    setSpoolerRunning(true);
}

TEST_F(SpoolerStoppedTest, HandlesDoNotSurviveARestart) {
    HANDLE before = openPrinter("Folioscope", PRINTER_ALL_ACCESS);
    ASSERT_NE(nullptr, before);
    setSpoolerRunning(false);
    setSpoolerRunning(true);
    EXPECT_EQ(0u, control::openHandleCount());
    BYTE buffer[2048];
    DWORD needed = kPoison;
    poison();
    EXPECT_FALSE(GetPrinterW(before, 2, buffer, sizeof buffer, &needed));
    EXPECT_EQ(DWORD{ERROR_INVALID_HANDLE}, GetLastError());
    poison();
    EXPECT_FALSE(ClosePrinter(before));
    EXPECT_EQ(DWORD{ERROR_INVALID_HANDLE}, GetLastError());
}

} // namespace
