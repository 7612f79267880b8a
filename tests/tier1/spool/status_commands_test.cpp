#include "spool_test_support.h"

#include <functional>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

namespace {

using namespace spool_test;
using namespace winsim::control;

int runWord(const std::string& word) {
    setCommandWords({word});
    return wWinMain(static_cast<HINSTANCE>(programInstance()), nullptr, nullptr, 1);
}

using StatusCommands = MachineTest;

// With a driver version, the other vendor's printer "0 Other" (the default) and the product
// printers "A" and "B", which enumerate in that order, are there before the row's own steps.
TEST_F(StatusCommands, AnswerFromTheDefaultPrinterAndTheFirstProductPrinter) {
    const auto none = [] {};
    const auto setDefault = [](const char* name) { return [=] { setDefaultPrinter(name); }; };
    const struct {
        const char* situation;
        const char* driverVersion; // null: no product printers
        std::function<void()> prepare;
        const char* word;
        int exitCode;
        const char* defaultAfter;
    } cases[] = {
        {"driver build 2044", "3.0.0.2044", none, "onChkDrv", 103, "0 Other"},
        {"driver build 2043", "3.0.0.2043", none, "ONCHKDRV", 3, "0 Other"},
        {"driver without version", "", none, "onChkDrv", 3, "0 Other"},
        {"first product printer cannot be opened", "3.0.0.2060",
         [] { failSpoolerCall(SpoolerCall::OpenPrinter, 1, ERROR_ACCESS_DENIED); }, "onChkDrv", 3,
         "0 Other"},
        {"driver details refused", "3.0.0.2060",
         [] { failSpoolerCall(SpoolerCall::GetPrinterDriver, 1, ERROR_ACCESS_DENIED); }, "onChkDrv",
         3, "0 Other"},
        {"no product printer", nullptr, registerOtherDriver, "onChkDrv", 3, ""},
        {"def.set", "3.0.0.2060", none, "def.set", 4, "A Folioscope"},
        {"def.set in capitals", "3.0.0.2060", none, "DEF.SET", 6, "0 Other"},
        {"def.set without product printer", nullptr,
         [] {
             registerOtherDriver();
             addPrinter("0 Other", "LPT1:", kOtherDriver);
             setDefaultPrinter("0 Other");
         },
         "def.set", 4, "0 Other"},
        {"def.set, the product printer listed first", nullptr,
         [] {
             registerProductDriver();
             addPrinter("A Folioscope", "LPT1:", "Folioscope printer");
         },
         "def.set", 4, "A Folioscope"},
        {"default is another printer", "3.0.0.2060", none, "onInit", 102, "0 Other"},
        {"no default printer", nullptr, none, "onInit", 102, ""},
        {"default is a product printer", "3.0.0.2060", setDefault("B Folioscope"), "oninit", 3,
         "B Folioscope"},
        {"default's driver differs in letter case", nullptr,
         [] {
             DriverSetup lookAlike;
             lookAlike.name = "folioscope PRINTER";
             registerDriver(lookAlike);
             addPrinter("Look", "LPT1:", "folioscope PRINTER");
             setDefaultPrinter("Look");
         },
         "onInit", 102, "Look"},
        {"default cannot be opened", nullptr, setDefault("Gone"), "onInit", 102, "Gone"},
        {"default's details refused", "3.0.0.2060",
         [] {
             setDefaultPrinter("B Folioscope");
             failSpoolerCall(SpoolerCall::GetPrinter, 1, ERROR_ACCESS_DENIED);
         },
         "onInit", 102, "B Folioscope"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        freshRow(dir());
        if (c.driverVersion != nullptr) {
            registerOtherDriver();
            registerProductDriver(c.driverVersion);
            addPrinter("0 Other", "LPT1:", kOtherDriver);
            addPrinter("A Folioscope", "LPT1:", "Folioscope printer");
            addPrinter("B Folioscope", "LPT1:", "Folioscope printer");
            setDefaultPrinter("0 Other");
        }
        c.prepare();
        EXPECT_EQ(c.exitCode, runWord(c.word));
        EXPECT_EQ(c.defaultAfter, defaultPrinter());
    }
}

// The run's set-up reads the default printer's name into 255 characters, "onInit" into 260: a
// longer name counts as no default. The set-up's mark leaves the other attribute bits alone
// (Windows' "Fax" printer has 0x4040).
TEST_F(StatusCommands, DefaultPrinterNamesMustFitTheirBuffers) {
    windowsMachine(dir());
    registerProductDriver("3.0.0.2060");
    const struct {
        std::string name;
        bool marked;
        int onInit;
    } rows[] = {{"Fax", true, 102},
                {std::string(254, 'p'), true, 3},
                {std::string(255, 'p'), false, 3},
                {std::string(259, 'p'), false, 3},
                {std::string(260, 'p'), false, 102}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name.size());
        if (row.name != "Fax") {
            addPrinter(row.name, "LPT1:", "Folioscope printer");
        }
        setDefaultPrinter(row.name);
        EXPECT_EQ(row.onInit, runWord("onInit"));
        InstallContext context;
        for (DWORD i = 0; i < context.printers.count; ++i) {
            const PRINTER_INFO_2W& entry = context.printers.printers[i];
            const bool marked = row.marked && u8(entry.pPrinterName) == row.name;
            EXPECT_EQ(printer(u8(entry.pPrinterName)).attributes |
                          (marked ? PRINTER_ATTRIBUTE_DEFAULT : 0u),
                      entry.Attributes);
        }
    }
}

} // namespace
