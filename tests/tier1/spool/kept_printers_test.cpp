// Product printers carried across a reinstall: remembered with their "SubKey" before the
// delete, created again with their settings after the new driver is in.
#include "spool_test_support.h"

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

// P2 is re-created first: were the default given to every printer, P1 would take it.
TEST_F(KeptPrintersTest, PrintersComeBackInReverseOrderWithTheirSettings) {
    addKept("P1", {defaultKey("one"), userKey("one")}, "first comment", "desk");
    addKept("P2", {userKey("two")}, "second comment", "hall");
    control::setDefaultPrinter("P2");
    InstallContext context;
    deleteProductPrinters(context);
    const std::vector<std::string> added = {"  Let's check our port monitors",
                                            "  Port monitor is found", "  OK :)"};
    EXPECT_EQ(lines({">AddPrinter(P2)", added[0], added[1], added[2], ">AddPrinter(P1)", added[0],
                     added[1], added[2]}),
              logOf(context, [&] { restorePrinters(context); }));
    const struct {
        const char* name;
        const char* comment;
        const char* location;
        const char* subKey;
    } rows[] = {{"P1", "first comment", "desk", "one"}, {"P2", "second comment", "hall", "two"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        control::PrinterState state = printer(row.name);
        EXPECT_EQ("Folioscope:", state.port);
        EXPECT_EQ("Folioscope printer", state.driver);
        EXPECT_EQ(row.comment, state.comment);
        EXPECT_EQ(row.location, state.location);
        EXPECT_EQ(row.subKey, state.data["PrinterDriverData\\SubKey"]);
        EXPECT_EQ(row.subKey, state.data["DsUser\\SubKey"]);
    }
    EXPECT_EQ("P2", control::defaultPrinter()) << "only the former default becomes default";
    EXPECT_EQ("", printer("Folioscope").name);
    EXPECT_EQ(0, context.errorCount);
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

std::string refusedAdd(const std::string& name) {
    return lines(
        {">AddPrinter(" + name + ")", "  Let's check our port monitors",
         "  No Folioscope port monitor was found.", "  ------- 1 existing monitors ----------",
         "  1. Local Port", "  ---------------------------------------",
         "  Error(15): Can`t add printer '" + name + "' - (The specified port is unknown.)"});
}

TEST_F(KeptPrintersTest, FolioscopeIsAddedWhenNothingWasRecreated) {
    const std::string folioscope =
        lines({">AddPrinter(Folioscope)", "  Let's check our port monitors",
               "  Port monitor is found", "  OK :)"});
    const std::string deletedP1 = lines({">DeleteAllPrinters", "  >DeletePrinter(P1)", "    OK"});
    const struct {
        const char* situation;
        bool monitor;
        bool productPrinter;
        bool withSubKey;
        std::string log;
        int errors;
    } rows[] = {
        {"no product printer", true, false, false, lines({">DeleteAllPrinters"}) + folioscope, 0},
        {"the only product printer has no SubKey", true, true, false, deletedP1 + folioscope, 0},
        {"no remembered printer can be created", false, true, true,
         deletedP1 + refusedAdd("P1") + refusedAdd("Folioscope"), 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        control::freshMachine(dir());
        if (row.monitor) {
            registerProductMonitor(2060);
        }
        registerProductDriver();
        if (row.productPrinter) {
            addKept("P1", row.withSubKey ? std::vector<control::PrinterData>{defaultKey("one")}
                                         : std::vector<control::PrinterData>{});
        }
        InstallContext context;
        EXPECT_EQ(row.log, logOf(context, [&] { deleteAndRestore(context); }));
        EXPECT_EQ(row.errors, context.errorCount);
        EXPECT_EQ(row.monitor ? "Folioscope" : "", printer("Folioscope").name);
    }
}

} // namespace
