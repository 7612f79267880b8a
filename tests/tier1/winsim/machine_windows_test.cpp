// The Windows machine answers the spooler's queries as a clean Windows 10/11 x64 does, and
// its inbox objects hold on to each other as they do there. The demo machine adds the
// product's files to it, and its description shows what the spooler holds.
#include <vector>

#include <windows.h>
#include <winspool.h>

#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

namespace control = winsim::control;

class WindowsMachineTest : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        control::demoMachine(dir());
    }

    // One line per entry of an INFO query, asked for at the size its probe names.
    template <typename Info, typename Call, typename Line>
    std::vector<std::string> listOf(Call call, Line line) {
        DWORD needed = 0;
        DWORD count = 0;
        EXPECT_FALSE(call(nullptr, 0, &needed, &count)) << "every list has entries";
        std::vector<BYTE> buffer(needed);
        EXPECT_TRUE(call(buffer.data(), needed, &needed, &count));
        std::vector<std::string> lines;
        for (DWORD i = 0; i < count; ++i) {
            lines.push_back(line(reinterpret_cast<const Info*>(buffer.data())[i]));
        }
        return lines;
    }
};

const std::string kSystem32 = "C:\\Windows\\system32\\";
const std::string kVersion3 = kSystem32 + "spool\\DRIVERS\\x64\\3\\";
const std::string kStore = "C:\\Windows\\System32\\DriverStore\\FileRepository\\ntprint.inf_"
                           "amd64_18b0d38ddfaee729\\Amd64\\mxdwdrv.dll";

TEST_F(WindowsMachineTest, ListsTheInboxObjectsInTheSpoolersOrder) {
    EXPECT_EQ((std::vector<std::string>{
                  "WSD Port WSDMon.dll", "USB Monitor usbmon.dll",
                  "Standard TCP/IP Port tcpmon.dll", "Microsoft Shared Fax Monitor FXSMON.DLL",
                  "Local Port localspl.dll", "IppMon IPPMon.dll", "Appmon AppMon.dll"}),
              listOf<MONITOR_INFO_2W>(
                  [](auto... query) { return EnumMonitorsW(nullptr, 2, query...); },
                  [](const MONITOR_INFO_2W& m) { return u8(m.pName) + " " + u8(m.pDLLName); }));
    EXPECT_EQ(
        (std::vector<std::string>{"4 Microsoft XPS Document Writer v4 " + kStore,
                                  "4 Microsoft Print To PDF " + kStore,
                                  "3 Remote Desktop Easy Print " + kVersion3 + "mxdwdrv.dll",
                                  "3 Microsoft Shared Fax Driver " + kVersion3 + "FXSDRV.DLL",
                                  "3 Microsoft enhanced Point and Print compatibility driver " +
                                      kVersion3 + "mxdwdrv.dll"}),
        listOf<DRIVER_INFO_6W>(
            [](auto... query) {
                return EnumPrinterDriversW(nullptr, W("Windows x64"), 6, query...);
            },
            [](const DRIVER_INFO_6W& d) {
                return std::to_string(d.cVersion) + " " + u8(d.pName) + " " + u8(d.pDriverPath);
            }));
    EXPECT_EQ(
        (std::vector<std::string>{
            "Fax SHRFAX: Microsoft Shared Fax Driver",
            "Microsoft Print to PDF PORTPROMPT: Microsoft Print To PDF",
            "Microsoft XPS Document Writer PORTPROMPT: Microsoft XPS Document Writer v4"}),
        listOf<PRINTER_INFO_2W>(
            [](auto... query) { return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, query...); },
            [](const PRINTER_INFO_2W& p) {
                return u8(p.pPrinterName) + " " + u8(p.pPortName) + " " + u8(p.pDriverName);
            }));
    EXPECT_EQ("Microsoft Print to PDF", control::defaultPrinter());
}

// What an installer must not be able to take away from Windows.
TEST_F(WindowsMachineTest, InboxObjectsInUseStayPut) {
    const auto error = [](BOOL ok) { return ok ? 0 : GetLastError(); };
    EXPECT_EQ(DWORD(ERROR_PRINTER_DRIVER_IN_USE),
              error(DeletePrinterDriverExW(nullptr, W("Windows x64"), W("Microsoft Print To PDF"),
                                           DPD_DELETE_ALL_FILES, 0)));
    EXPECT_EQ(DWORD(ERROR_PRINT_MONITOR_IN_USE),
              error(DeleteMonitorW(nullptr, nullptr, W("Microsoft Shared Fax Monitor"))));
    for (const std::string& held : {kSystem32 + "usbmon.dll", kVersion3 + "FXSDRV.DLL"}) {
        EXPECT_EQ(DWORD(ERROR_ACCESS_DENIED), error(DeleteFileW(W(held)))) << held;
    }
}

TEST_F(WindowsMachineTest, TheDescriptionShowsTheSpooler) {
    control::registerMonitor("Folioscope:", "orvmon64.dll", "3.0.0.2060");
    const std::string description = control::describeMachine();
    EXPECT_NE(std::string::npos, description.find("service  Spooler running\n"));
    EXPECT_NE(std::string::npos, description.find("inbox    printers: Fax, Microsoft Print to PDF, "
                                                  "Microsoft XPS Document Writer\n"));
    EXPECT_NE(std::string::npos,
              description.find("monitor  Folioscope: (orvmon64.dll, port Folioscope:)\n"))
        << description;
}

} // namespace
