// Product printers carried across a reinstall: remembered with their "SubKey" before the
// delete, created again with their settings after the new driver is in.
#include "spool_test_support.h"

#include <cstring>
#include <vector>

#include "spool/kept_printers.h"
#include "spool/printer_settings.h"
#include "spool/product_printers.h"

namespace {

using namespace spool_test;
namespace control = winsim::control;

const char kSettingsRoot[] = "Software\\Orvanta Software KFT\\Folioscope\\Folioscopes\\";

class KeptPrintersTest : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        registerProductMonitor(2060);
        registerProductDriver();
    }

    static void addKept(const std::string& name, std::vector<control::PrinterData> data,
                        const std::string& comment = "", const std::string& location = "") {
        control::PrinterSetup setup;
        setup.name = name;
        setup.port = "Folioscope:";
        setup.driver = "Folioscope printer";
        setup.comment = comment;
        setup.location = location;
        setup.data = std::move(data);
        control::addPrinter(setup);
    }

    static control::PrinterData defaultKey(const std::string& text) {
        return {"PrinterDriverData", "SubKey", text};
    }
    static control::PrinterData userKey(const std::string& text) {
        return {"DsUser", "SubKey", text};
    }

    // The uninstall part, then the printers back, as a reinstall runs them.
    static void deleteAndRestore(InstallContext& context) {
        deleteProductPrinters(context);
        restorePrinters(context);
    }
};

std::vector<std::string> keptSubKeys(const InstallContext& context) {
    std::vector<std::string> subKeys;
    for (KeptPrinter* kept = context.keptPrinters; kept != nullptr; kept = kept->next) {
        subKeys.push_back(kept->subKey);
    }
    return subKeys;
}

TEST_F(KeptPrintersTest, SubKeyIsReadFromEitherPlaceAndMustFitItsBuffer) {
    const std::string longest(63, 'k'); // 64 bytes with the terminator: fits
    const std::string tooLong(64, 'k');
    addKept("A default key", {defaultKey("from-default"), userKey("ignored")});
    addKept("B user key", {userKey("from-dsuser")});
    addKept("C longest", {defaultKey(longest)});
    addKept("D too long", {defaultKey(tooLong), userKey(tooLong)});
    addKept("E none", {});
    addKept("F empty", {defaultKey("")});
    InstallContext context;
    deleteProductPrinters(context);
    EXPECT_EQ((std::vector<std::string>{longest, "from-dsuser", "from-default"}),
              keptSubKeys(context));
    for (const char* name : {"A default key", "B user key", "D too long", "E none", "F empty"}) {
        EXPECT_EQ("", printer(name).name) << name << " is deleted whether kept or not";
    }
}

TEST_F(KeptPrintersTest, PrintersComeBackInReverseOrderWithTheirSettings) {
    addKept("P1", {defaultKey("one"), userKey("one")}, "first comment", "desk");
    addKept("P2", {userKey("two")}, "second comment", "hall");
    control::setDefaultPrinter("P1");
    InstallContext context;
    deleteProductPrinters(context);
    size_t mark = logMark(context);
    restorePrinters(context);
    const std::vector<std::string> added = {"  Let's check our port monitors",
                                            "  Port monitor is found", "  OK :)"};
    EXPECT_EQ(lines({">AddPrinter(P2)", added[0], added[1], added[2], ">AddPrinter(P1)", added[0],
                     added[1], added[2]}),
              logSince(context, mark));
    for (const char* name : {"P1", "P2"}) {
        control::PrinterState state = printer(name);
        EXPECT_EQ("Folioscope:", state.port) << name;
        EXPECT_EQ("Folioscope printer", state.driver) << name;
    }
    EXPECT_EQ("first comment", printer("P1").comment);
    EXPECT_EQ("desk", printer("P1").location);
    EXPECT_EQ("second comment", printer("P2").comment);
    EXPECT_EQ("hall", printer("P2").location);
    EXPECT_EQ("one", printer("P1").data["PrinterDriverData\\SubKey"]);
    EXPECT_EQ("one", printer("P1").data["DsUser\\SubKey"]);
    EXPECT_EQ("two", printer("P2").data["PrinterDriverData\\SubKey"]);
    EXPECT_EQ("two", printer("P2").data["DsUser\\SubKey"]);
    EXPECT_EQ("P1", control::defaultPrinter()) << "only the former default becomes default";
    EXPECT_EQ("", printer("Folioscope").name);
    EXPECT_EQ(0, context.errorCount);
}

TEST_F(KeptPrintersTest, DefaultIsNotGivenToAPrinterThatWasNotTheDefault) {
    registerOtherDriver();
    addPrinter("Office", "LPT1:", kOtherDriver);
    addKept("P1", {defaultKey("one")});
    control::setDefaultPrinter("Office");
    InstallContext context;
    deleteAndRestore(context);
    EXPECT_EQ("Office", control::defaultPrinter());
    EXPECT_EQ("P1", printer("P1").name);
}

TEST_F(KeptPrintersTest, DeletedMarkIsRemovedAndNothingElse) {
    HKEY key = nullptr;
    const std::string settings = std::string(kSettingsRoot) + "one";
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, W(settings), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    const char deleted[] = "1";
    const char paper[] = "A4";
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, "deleted", 0, REG_SZ, reinterpret_cast<const BYTE*>(deleted), 2));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, "paper", 0, REG_SZ, reinterpret_cast<const BYTE*>(paper), 3));
    RegCloseKey(key);
    addKept("P1", {defaultKey("one")});
    addKept("P2", {defaultKey("two")});

    InstallContext context;
    deleteAndRestore(context);

    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, settings.c_str(), 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExA(key, "deleted", nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "paper", nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
    const std::string missing = std::string(kSettingsRoot) + "two";
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExA(HKEY_CURRENT_USER, missing.c_str(), 0, KEY_READ, &key))
        << "a missing settings key is not created";
    EXPECT_FALSE(clearDeletedMark("one")) << "the mark is gone already";
}

TEST_F(KeptPrintersTest, FolioscopeIsAddedWhenNothingWasRecreated) {
    const std::string folioscope =
        lines({">AddPrinter(Folioscope)", "  Let's check our port monitors",
               "  Port monitor is found", "  OK :)"});
    {
        SCOPED_TRACE("no product printer");
        InstallContext context;
        size_t mark = logMark(context);
        deleteAndRestore(context);
        EXPECT_EQ(lines({">DeleteAllPrinters"}) + folioscope, logSince(context, mark));
    }
    control::freshMachine(dir());
    registerProductMonitor(2060);
    registerProductDriver();
    {
        SCOPED_TRACE("the only product printer has no SubKey");
        addKept("Plain", {});
        InstallContext context;
        size_t mark = logMark(context);
        deleteAndRestore(context);
        EXPECT_EQ(lines({">DeleteAllPrinters", "  >DeletePrinter(Plain)", "    OK"}) + folioscope,
                  logSince(context, mark));
        EXPECT_EQ("", printer("Plain").name);
        EXPECT_EQ("Folioscope", printer("Folioscope").name);
    }
    control::freshMachine(dir());
    registerProductDriver();
    {
        SCOPED_TRACE("no remembered printer can be created");
        addKept("P1", {defaultKey("one")});
        InstallContext context;
        deleteProductPrinters(context);
        size_t mark = logMark(context);
        restorePrinters(context);
        const std::string refused = "  Error(15): Can`t add printer '%' - (The specified port is "
                                    "unknown.)";
        auto attempt = [&](const std::string& name) {
            std::string error = refused;
            error.replace(error.find('%'), 1, name);
            return lines({">AddPrinter(" + name + ")", "  Let's check our port monitors",
                          "  No Folioscope port monitor was found.",
                          "  ------- 1 existing monitors ----------", "  1. Local Port",
                          "  ---------------------------------------", error});
        };
        EXPECT_EQ(attempt("P1") + attempt("Folioscope"), logSince(context, mark));
        EXPECT_EQ(2, context.errorCount);
    }
}

TEST_F(KeptPrintersTest, SettingsKeyReadTerminatesAndFallsBack) {
    addKept("P", {userKey("fallback")});
    HANDLE handle = nullptr;
    ASSERT_TRUE(OpenPrinterW(W("P"), &handle, nullptr));
    char buffer[kSubKeyBufferBytes];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(DWORD{ERROR_SUCCESS}, readSettingsKey(handle, buffer));
    EXPECT_STREQ("fallback", buffer);
    // Without administer rights nothing can be stored.
    EXPECT_EQ(0, storeSettingsKey(handle, "new"));
    ClosePrinter(handle);

    PRINTER_DEFAULTSW rights{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(W("P"), &handle, &rights));
    EXPECT_EQ(2, storeSettingsKey(handle, nullptr));
    EXPECT_EQ(DWORD{ERROR_SUCCESS}, readSettingsKey(handle, buffer));
    EXPECT_STREQ("", buffer);
    ClosePrinter(handle);
    EXPECT_EQ("", printer("P").data["PrinterDriverData\\SubKey"]);
}

} // namespace
