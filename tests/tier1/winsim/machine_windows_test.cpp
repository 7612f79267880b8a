// The Windows machine answers the spooler's queries as a clean Windows 10/11 x64 does, and
// its inbox objects hold on to each other as they do there.
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
        control::windowsMachine(dir());
    }

    static std::string system32(const std::string& file) {
        return "C:\\Windows\\system32\\" + file;
    }
    static std::string versionDir(const std::string& file) {
        return system32("spool\\DRIVERS\\x64\\3\\" + file);
    }
    static BOOL deleteMonitor(const std::string& name) {
        return DeleteMonitorW(nullptr, nullptr, W(name));
    }
    static BOOL deleteDriver(const std::string& name) {
        return DeletePrinterDriverExW(nullptr, W("Windows x64"), W(name), DPD_DELETE_ALL_FILES, 0);
    }
    static DWORD deleteError(const std::string& path) {
        SetLastError(0);
        return DeleteFileW(W(path)) ? 0 : GetLastError();
    }

    // The entries of an INFO query, asked for at the size its probe names.
    template <typename Info, typename Call> std::vector<Info> listOf(Call call) {
        DWORD needed = 0;
        DWORD count = 0;
        EXPECT_FALSE(call(nullptr, 0, &needed, &count)) << "every list has entries";
        buffer_.assign(needed, 0);
        EXPECT_TRUE(call(buffer_.data(), needed, &needed, &count));
        const Info* first = reinterpret_cast<const Info*>(buffer_.data());
        return std::vector<Info>(first, first + count);
    }

    std::vector<BYTE> buffer_;
};

TEST_F(WindowsMachineTest, ListsTheInboxObjectsInTheSpoolersOrder) {
    std::vector<std::string> seen;
    for (const MONITOR_INFO_2W& m :
         listOf<MONITOR_INFO_2W>([](BYTE*b, DWORD n, DWORD*need, DWORD*count) {
             return EnumMonitorsW(nullptr, 2, b, n, need, count);
         })) {
        seen.push_back(u8(m.pName) + " " + u8(m.pDLLName));
    }
    EXPECT_EQ((std::vector<std::string>{
                  "WSD Port WSDMon.dll", "USB Monitor usbmon.dll",
                  "Standard TCP/IP Port tcpmon.dll", "Microsoft Shared Fax Monitor FXSMON.DLL",
                  "Local Port localspl.dll", "IppMon IPPMon.dll", "Appmon AppMon.dll"}),
              seen);

    seen.clear();
    W environment("Windows x64");
    for (const DRIVER_INFO_6W& d :
         listOf<DRIVER_INFO_6W>([&](BYTE*b, DWORD n, DWORD*need, DWORD*count) {
             return EnumPrinterDriversW(nullptr, environment, 6, b, n, need, count);
         })) {
        seen.push_back(std::to_string(d.cVersion) + " " + u8(d.pName) + " " + u8(d.pDriverPath));
    }
    const std::string store = "C:\\Windows\\System32\\DriverStore\\FileRepository\\ntprint.inf_"
                              "amd64_18b0d38ddfaee729\\Amd64\\mxdwdrv.dll";
    EXPECT_EQ(
        (std::vector<std::string>{"4 Microsoft XPS Document Writer v4 " + store,
                                  "4 Microsoft Print To PDF " + store,
                                  "3 Remote Desktop Easy Print " + versionDir("mxdwdrv.dll"),
                                  "3 Microsoft Shared Fax Driver " + versionDir("FXSDRV.DLL"),
                                  "3 Microsoft enhanced Point and Print compatibility driver " +
                                      versionDir("mxdwdrv.dll")}),
        seen);

    seen.clear();
    for (const PRINTER_INFO_2W& p :
         listOf<PRINTER_INFO_2W>([](BYTE*b, DWORD n, DWORD*need, DWORD*count) {
             return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, b, n, need, count);
         })) {
        seen.push_back(u8(p.pPrinterName) + " " + u8(p.pPortName) + " " + u8(p.pDriverName));
    }
    EXPECT_EQ((std::vector<std::string>{
                  "Fax SHRFAX: Microsoft Shared Fax Driver",
                  "Microsoft Print to PDF PORTPROMPT: Microsoft Print To PDF",
                  "Microsoft XPS Document Writer PORTPROMPT: Microsoft XPS Document Writer v4"}),
              seen);
    EXPECT_EQ("Microsoft Print to PDF", control::defaultPrinter());
}

// What an installer must not be able to take away from Windows.
TEST_F(WindowsMachineTest, InboxObjectsInUseStayPut) {
    const struct {
        const char* what;
        DWORD error;
        DWORD expected;
    } rows[] = {
        {"driver of a printer", deleteDriver("Microsoft Print To PDF") ? 0 : GetLastError(),
         ERROR_PRINTER_DRIVER_IN_USE},
        {"monitor of a printer's port",
         deleteMonitor("Microsoft Shared Fax Monitor") ? 0 : GetLastError(),
         ERROR_PRINT_MONITOR_IN_USE},
        {"monitor DLL", deleteError(system32("usbmon.dll")), ERROR_ACCESS_DENIED},
        {"file of a driver in use", deleteError(versionDir("FXSDRV.DLL")), ERROR_ACCESS_DENIED},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.expected, row.error) << row.what;
    }
}

} // namespace
