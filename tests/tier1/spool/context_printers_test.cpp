// What the context's set-up asks the spooler: the driver directory and the printers with
// the user's default one flagged.
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

TEST_F(ContextPrintersTest, DriverDirectoryEndsInABackslash) {
    {
        InstallContext context;
        EXPECT_EQ(kDriverDir, u8(textOf(context.driverDir)));
        EXPECT_EQ(0, context.errorCount);
    }
    setEnvironmentDirectory("x64\\");
    {
        InstallContext context;
        EXPECT_EQ(kDriverDir, u8(textOf(context.driverDir))) << "no second backslash";
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

TEST_F(ContextPrintersTest, DefaultPrinterIsFlaggedInTheList) {
    registerOtherDriver();
    addPrinter("Alpha", "LPT1:", kOtherDriver);
    addPrinter("Beta", "LPT2:", kOtherDriver);
    {
        InstallContext context;
        ASSERT_EQ(2u, context.printers.count);
        EXPECT_EQ(0u, context.printers.printers[0].Attributes & PRINTER_ATTRIBUTE_DEFAULT);
        EXPECT_EQ(0u, context.printers.printers[1].Attributes & PRINTER_ATTRIBUTE_DEFAULT);
    }
    control::setDefaultPrinter("Beta");
    {
        InstallContext context;
        ASSERT_EQ(2u, context.printers.count);
        EXPECT_EQ(0u, context.printers.printers[0].Attributes & PRINTER_ATTRIBUTE_DEFAULT);
        EXPECT_EQ(DWORD{PRINTER_ATTRIBUTE_DEFAULT},
                  context.printers.printers[1].Attributes & PRINTER_ATTRIBUTE_DEFAULT);
    }
    EXPECT_EQ(0u, printer("Beta").attributes & PRINTER_ATTRIBUTE_DEFAULT)
        << "the flag lives only in the list";
}

} // namespace
