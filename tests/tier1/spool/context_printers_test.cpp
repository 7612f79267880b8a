// The driver directory the context's set-up asks the spooler for.
#include "spool_test_support.h"

#include "log/wide_text.h"

namespace {

using namespace spool_test;
namespace control = winsim::control;

using ContextPrintersTest = MachineTest;

void setEnvironmentDirectory(const std::string& directory) {
    HKEY key = nullptr;
    ASSERT_EQ(
        ERROR_SUCCESS,
        RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      W("SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64"), 0,
                      KEY_ALL_ACCESS, &key));
    W value(directory);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, W("Directory"), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(static_cast<const WCHAR*>(value)),
                             value.bytes()));
    RegCloseKey(key);
}

// Whether or not the spooler's answer ends in a backslash, there is exactly one.
TEST_F(ContextPrintersTest, DriverDirectoryEndsInABackslash) {
    for (const char* directory : {"x64", "x64\\"}) {
        setEnvironmentDirectory(directory);
        InstallContext context;
        EXPECT_EQ(kDriverDir, u8(textOf(context.driverDir))) << directory;
        EXPECT_EQ(0, context.errorCount);
    }
}

TEST_F(ContextPrintersTest, RefusedDriverDirectoryIsError6) {
    control::failSpoolerCall(control::SpoolerCall::GetPrinterDriverDirectory, 1,
                             ERROR_ACCESS_DENIED);
    InstallContext context;
    EXPECT_EQ(nullptr, context.driverDir);
    EXPECT_EQ("orvhelp.chm", u8(context.helpFile));
    EXPECT_EQ(1, context.errorCount);
    const std::string log = u8(textOf(context.logText));
    EXPECT_NE(std::string::npos,
              log.find("\r\nError(6): Can`t retrieve printer driver directory. - (Access is "
                       "denied.)\r\n"))
        << log;
}

} // namespace
