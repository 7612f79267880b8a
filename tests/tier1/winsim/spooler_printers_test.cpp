// Printers: AddPrinterW's checks in the spooler's order, handles and their rights,
// SetPrinterW, and deletion with and without queued jobs.
#include "spooler_test_support.h"

namespace {

using namespace spooler_test;
namespace control = winsim::control;

class SpoolerPrintersTest : public SpoolerTest {
  protected:
    void SetUp() override {
        SpoolerTest::SetUp();
        control::registerDriver(productDriver());
        control::addPrinter(printerSetup("Office", "LPT1:", kDriver, "old comment", "2nd floor"));
    }
};

struct AddCase {
    const char* label;
    const char* name;
    const char* port;
    const char* driver;
    const char* processor;
    DWORD error;
};

// Each case breaks the checks from the one named on: the first broken one decides.
const AddCase kAddCases[] = {
    {"driver before port", "New", "NOPE:", "No driver", "WinPrint", ERROR_UNKNOWN_PRINTER_DRIVER},
    {"port before processor", "New", "NOPE:", kDriver, "NoProc", ERROR_UNKNOWN_PORT},
    {"one port of a pool", "New", "LPT1:,NOPE:", kDriver, "WinPrint", ERROR_UNKNOWN_PORT},
    {"processor before name", "Office", "LPT1:", kDriver, "NoProc", ERROR_UNKNOWN_PRINTPROCESSOR},
    {"name taken, any case", "OFFICE", "LPT1:", kDriver, "WinPrint", ERROR_PRINTER_ALREADY_EXISTS},
    {"comma in the name", "a,b", "LPT1:", kDriver, "WinPrint", ERROR_INVALID_PRINTER_NAME},
    {"backslash in the name", "a\\b", "LPT1:", kDriver, "WinPrint", ERROR_INVALID_PRINTER_NAME},
    {"empty name", "", "LPT1:", kDriver, "WinPrint", ERROR_INVALID_PRINTER_NAME},
    {"ports in any case", "New", "file:,lpt2:", "FOLIOSCOPE PRINTER", "winprint", 0},
};

TEST_F(SpoolerPrintersTest, AddPrinterWChecksInTheSpoolersOrder) {
    for (const AddCase& c : kAddCases) {
        SCOPED_TRACE(c.label);
        PrinterInfo printer(c.name, c.port, c.driver);
        W processor(c.processor);
        printer.info.pPrintProcessor = processor;
        poison();
        PrinterGuard added(AddPrinterW(nullptr, 2, printer.bytes()));
        EXPECT_EQ(c.error == 0, added.handle != nullptr);
        if (c.error) {
            EXPECT_EQ(c.error, GetLastError());
        }
        EXPECT_EQ(c.error == 0 ? 2u : 1u, control::printers().size());
    }
}

TEST_F(SpoolerPrintersTest, AddedPrinterIsStoredAndItsHandleAdministers) {
    PrinterInfo printer("Folioscope", "LPT2:", kDriver);
    printer.info.Attributes = PRINTER_ATTRIBUTE_DEFAULT;
    PrinterGuard added(AddPrinterW(nullptr, 2, printer.bytes()));
    ASSERT_NE(nullptr, added.handle);
    BYTE data[] = "S1";
    EXPECT_EQ(DWORD{ERROR_SUCCESS},
              SetPrinterDataA(added.handle, const_cast<LPSTR>("SubKey"), REG_SZ, data, 3));
    const control::PrinterState stored = control::printers()[0];
    EXPECT_EQ("Folioscope", stored.name);
    EXPECT_EQ("LPT2:", stored.port);
    EXPECT_EQ(kDriver, stored.driver);
    EXPECT_EQ("WinPrint", stored.printProcessor);
    EXPECT_EQ(0u, stored.attributes) << "the 9x default flag is not a printer attribute";
    EXPECT_EQ("S1", stored.data.at("PrinterDriverData\\SubKey"));
}

TEST_F(SpoolerPrintersTest, OpenPrinterWNamesAndRights) {
    struct Case {
        const char* label;
        const char* name;
        bool withDefaults;
        ACCESS_MASK access;
        bool administrator;
        DWORD error;
    } cases[] = {
        {"any case", "OFFICE", true, PRINTER_ALL_ACCESS, true, 0},
        {"no defaults", "Office", false, 0, true, 0},
        {"unknown", "Nobody", true, PRINTER_ACCESS_USE, true, ERROR_INVALID_PRINTER_NAME},
        {"empty name", "", true, PRINTER_ACCESS_USE, true, ERROR_INVALID_PRINTER_NAME},
        {"standard user, administer", "Office", true, PRINTER_ACCESS_ADMINISTER, false,
         ERROR_ACCESS_DENIED},
        {"standard user, print", "Office", true, PRINTER_ACCESS_USE, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        winsim::machine().settings.administrator = c.administrator;
        W name(c.name);
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, c.access};
        HANDLE handle = reinterpret_cast<HANDLE>(0xDEADBEEF);
        poison();
        BOOL ok = OpenPrinterW(name, &handle, c.withDefaults ? &defaults : nullptr);
        EXPECT_EQ(c.error == 0, ok != FALSE);
        EXPECT_EQ(c.error == 0 ? kPoison : c.error, GetLastError());
        if (ok) {
            EXPECT_NE(nullptr, handle);
            EXPECT_TRUE(ClosePrinter(handle));
        } else {
            EXPECT_EQ(reinterpret_cast<HANDLE>(0xDEADBEEF), handle);
        }
    }
    winsim::machine().settings.administrator = true;
}

TEST_F(SpoolerPrintersTest, SetPrinterWLevel2PersistsOrRefuses) {
    struct Case {
        const char* label;
        ACCESS_MASK access;
        const char* port;
        const char* driver;
        DWORD command;
        DWORD error;
    } cases[] = {
        {"print rights only", PRINTER_ACCESS_USE, "FILE:", kDriver, 0, ERROR_ACCESS_DENIED},
        {"unknown port", PRINTER_ALL_ACCESS, "NOPE:", kDriver, 0, ERROR_UNKNOWN_PORT},
        {"unknown driver", PRINTER_ALL_ACCESS, "FILE:", "No driver", 0,
         ERROR_UNKNOWN_PRINTER_DRIVER},
        {"command with level 2", PRINTER_ALL_ACCESS, "FILE:", kDriver, PRINTER_CONTROL_PURGE,
         ERROR_INVALID_LEVEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        PrinterGuard printer(openPrinter("Office", c.access));
        PrinterInfo info("Office", c.port, c.driver);
        poison();
        EXPECT_FALSE(SetPrinterW(printer.handle, 2, info.bytes(), c.command));
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ("LPT1:", control::printers()[0].port);
    }
    PrinterGuard printer(openPrinter("Office", PRINTER_ALL_ACCESS));
    PrinterInfo info("Office", "file:", kDriver);
    W comment("new comment");
    info.info.pComment = comment;
    info.info.pLocation = nullptr;
    poison();
    EXPECT_TRUE(SetPrinterW(printer.handle, 2, info.bytes(), 0));
    EXPECT_EQ(kPoison, GetLastError());
    const control::PrinterState stored = control::printers()[0];
    EXPECT_EQ("file:", stored.port);
    EXPECT_EQ("new comment", stored.comment);
    EXPECT_EQ("", stored.location);
}

TEST_F(SpoolerPrintersTest, DeletePrinterWaitsForQueuedJobs) {
    control::setDefaultPrinter("Office");
    control::setPrinterJobs("Office", 2);
    {
        PrinterGuard printer(openPrinter("Office", PRINTER_ACCESS_ADMINISTER));
        poison();
        EXPECT_FALSE(DeletePrinter(printer.handle));
        EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, GetLastError()) << "DELETE not asked for";
    }
    PrinterGuard printer(openPrinter("Office", DELETE | PRINTER_ACCESS_ADMINISTER));
    ASSERT_TRUE(DeletePrinter(printer.handle));
    ASSERT_EQ(1u, control::printers().size());
    EXPECT_TRUE(control::printers()[0].pendingDeletion);
    EXPECT_EQ("Office", control::defaultPrinter());

    control::setPrinterJobs("Office", 1);
    EXPECT_EQ(1u, control::printers().size());
    poison();
    EXPECT_TRUE(SetPrinterW(printer.handle, 0, nullptr, PRINTER_CONTROL_PURGE));
    EXPECT_EQ(kPoison, GetLastError());
    EXPECT_TRUE(control::printers().empty()) << "gone with its last job";
    EXPECT_EQ("", control::defaultPrinter()) << "the default went with it";
    poison();
    EXPECT_FALSE(SetPrinterW(printer.handle, 0, nullptr, PRINTER_CONTROL_PURGE));
    EXPECT_EQ(DWORD{ERROR_INVALID_PRINTER_NAME}, GetLastError()) << "the handle outlives it";
}

TEST_F(SpoolerPrintersTest, AddPrinterRevivesAPrinterPendingDeletion) {
    control::setPrinterJobs("Office", 1);
    ASSERT_TRUE(deletePrinterByName("Office"));
    PrinterGuard revived(addPrinter("Office", "LPT3:"));
    ASSERT_NE(nullptr, revived.handle);
    const control::PrinterState stored = control::printers()[0];
    EXPECT_FALSE(stored.pendingDeletion);
    EXPECT_EQ("LPT3:", stored.port);
}

} // namespace
