// Product printers across a reinstall: deleted, those with a "SubKey" remembered first, and
// created again with their settings after the new driver is in; a printer "Folioscope" is
// added on the product's port when none comes back.
#include "spool_test_support.h"

#include <functional>
#include <vector>

#include "spool/kept_printers.h"
#include "spool/printer_settings.h"
#include "spool/product_printers.h"

namespace {

using namespace spool_test;
namespace control = winsim::control;
using Data = std::vector<control::PrinterData>;

void addProductPrinter(const std::string& name, const Data& data, const std::string& comment = "",
                       const std::string& location = "", DWORD jobs = 0) {
    control::PrinterSetup setup;
    setup.name = name;
    setup.port = "Folioscope:";
    setup.driver = "Folioscope printer";
    setup.comment = comment;
    setup.location = location;
    setup.data = data;
    setup.jobs = jobs;
    control::addPrinter(setup);
}

control::PrinterData defaultKey(const std::string& text) {
    return {"PrinterDriverData", "SubKey", text};
}
control::PrinterData userKey(const std::string& text) {
    return {"DsUser", "SubKey", text};
}

// A "SubKey" the default key holds as these bytes exactly, no terminator added.
void storeRawSubKey(const std::string& printer, DWORD type, std::string bytes) {
    HANDLE handle = nullptr;
    PRINTER_DEFAULTSW rights{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(W(printer), &handle, &rights));
    char value[] = "SubKey";
    EXPECT_EQ(ERROR_SUCCESS,
              SetPrinterDataA(handle, value, type, reinterpret_cast<BYTE*>(&bytes[0]),
                              static_cast<DWORD>(bytes.size())));
    ClosePrinter(handle);
}

// Every printer with all that a reinstall must carry over, and the default printer.
std::string printersState() {
    std::string text;
    for (const control::PrinterState& p : control::printers()) {
        text += "  [" + p.name + "] [" + p.port + "] [" + p.driver + "] [" + p.printProcessor +
                "] [" + p.comment + "] [" + p.location + "] " + std::to_string(p.attributes) +
                (p.pendingDeletion ? " pending" : "");
        for (const auto& value : p.data) {
            text += " [" + value.first + "=" + value.second + "]";
        }
        text += "\n";
    }
    return text + "  default [" + control::defaultPrinter() + "]\n";
}

std::string keptState(const InstallContext& context) {
    std::string text = "kept:";
    for (KeptPrinter* kept = context.keptPrinters; kept != nullptr; kept = kept->next) {
        text += " [" + u8(kept->printer->pPrinterName) + "=" + kept->subKey + "]";
    }
    return text + "\n";
}

using ProductPrintersTest = MachineTest;

// Only printers of the exact product driver go, whether kept or not; the kept list is built
// front first and the printers come back in its order: were the default given to every
// printer, P1 would take it. A printer that cannot be opened (a connection to another
// computer's printer among them) or deleted is reported and the rest goes on; its queued jobs
// do not keep a printer pending.
TEST_F(ProductPrintersTest, PrintersAreDeletedAndComeBackWithTheirSettings) {
    const std::string longest(63, 'k'); // 64 bytes with the terminator: fits
    const std::string tooLong(64, 'k');
    const struct {
        const char* situation;
        bool monitor;
        std::function<void()> arrange;
        std::function<void()> whileListed;
    } rows[] = {
        {"other drivers only", true,
         [] {
             registerOtherDriver();
             addPrinter("Other", "LPT1:", kOtherDriver);
             addPrinter("Suffix", "LPT1:", "Folioscope printer 2");
             addPrinter("Upper", "LPT1:", "FOLIOSCOPE PRINTER");
         },
         [] {}},
        {"settings carried", true,
         [] {
             addProductPrinter("P1", {defaultKey("one"), userKey("one")}, "first", "desk");
             addProductPrinter("P2", {userKey("two")}, "second", "hall");
             control::setDefaultPrinter("P2");
         },
         [] {}},
        {"SubKey from either place", true,
         [&] {
             addProductPrinter("A default key", {defaultKey("from-default"), userKey("ignored")});
             addProductPrinter("B user key", {userKey("from-dsuser")});
             addProductPrinter("C longest", {defaultKey(longest)});
             addProductPrinter("D too long", {defaultKey(tooLong), userKey(tooLong)});
             addProductPrinter("E none", {});
             addProductPrinter("F empty", {defaultKey("")});
             addProductPrinter("G bytes", {userKey("from-dsuser-2")});
             storeRawSubKey("G bytes", REG_BINARY, "bytes");
             addProductPrinter("H bytes only", {});
             storeRawSubKey("H bytes only", REG_BINARY, "bytes");
             addProductPrinter("I unterminated", {});
             storeRawSubKey("I unterminated", REG_SZ, std::string(64, 'u'));
         },
         [] {}},
        {"gone, stuck and busy", true,
         [] {
             addProductPrinter("P1 gone", {defaultKey("one")});
             addProductPrinter("P2 stuck", {defaultKey("two")});
             addProductPrinter("P3", {defaultKey("three")}, "", "", 3);
             control::addPrinterConnection("srv", "Shared", "Folioscope printer", "Folioscope:");
         },
         [] {
             HANDLE handle = nullptr;
             PRINTER_DEFAULTSW rights{nullptr, nullptr, PRINTER_ALL_ACCESS};
             ASSERT_TRUE(OpenPrinterW(W("P1 gone"), &handle, &rights));
             ASSERT_TRUE(DeletePrinter(handle));
             ClosePrinter(handle);
             control::failSpoolerCall(control::SpoolerCall::DeletePrinter, 1, ERROR_ACCESS_DENIED);
         }},
        {"details unread at the restore", true,
         [] {
             addProductPrinter("P1", {defaultKey("one")}, "first", "desk");
             control::setDefaultPrinter("P1");
         },
         [] {
             control::failSpoolerCall(control::SpoolerCall::GetPrinter, 1, ERROR_NOT_ENOUGH_MEMORY);
         }},
        {"the only product printer has no SubKey", true, [] { addProductPrinter("P1", {}); },
         [] {}},
        {"another monitor", false, [] { addProductPrinter("P1", {defaultKey("one")}); }, [] {}},
        {"the product monitor alone", true,
         [] { ASSERT_TRUE(DeleteMonitorW(nullptr, nullptr, W("Local Port"))); }, [] {}},
        {"no monitors at all", false,
         [] { ASSERT_TRUE(DeleteMonitorW(nullptr, nullptr, W("Local Port"))); }, [] {}},
    };
    std::string transcript;
    for (const auto& row : rows) {
        freshRow(dir());
        if (row.monitor) {
            registerProductMonitor(2060);
        }
        registerProductDriver();
        row.arrange();
        InstallContext context;
        row.whileListed();
        logCase(transcript, std::string(row.situation) + ": deleted", context,
                [&] { deleteProductPrinters(context); });
        transcript += keptState(context) + printersState();
        logCase(transcript, std::string(row.situation) + ": restored", context,
                [&] { restorePrinters(context); });
        transcript += printersState() + outcome(context);
    }
    expectGolden("spool/product-printers", transcript);
}

// The spooler never lists a printer without a name; were it to, the log would still say which.
TEST_F(ProductPrintersTest, ANamelessPrinterIsShownAsAStar) {
    InstallContext context;
    const std::string log = logOf(context, [&] {
        deletePrinterByName(context, nullptr);
        EXPECT_EQ(nullptr, addProductPrinter(context, nullptr));
    });
    EXPECT_NE(std::string::npos, log.find(">DeletePrinter(*)\r\n")) << log;
    EXPECT_NE(std::string::npos, log.find(">AddPrinter(*)\r\n")) << log;
}

// Without memory for the node, or for the copy of its "SubKey", a printer is not remembered
// and neither block is left behind.
TEST_F(ProductPrintersTest, APrinterIsKeptWholeOrNotAtAll) {
    for (size_t granted : {0, 1}) {
        freshRow(dir());
        addProductPrinter("P1", {defaultKey("one")});
        InstallContext context;
        control::failAllocations(granted, 1);
        rememberPrinter(context, context.printers.printers[0]);
        EXPECT_EQ(nullptr, context.keptPrinters);
    }
}

TEST_F(ProductPrintersTest, DeletedMarkIsRemovedAndNothingElse) {
    const std::string root = "Software\\Orvanta Software KFT\\Folioscope\\Folioscopes\\";
    HKEY key = nullptr;
    for (const char* subKey : {"one", "three"}) {
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, W(root + subKey), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key, "deleted", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2));
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key, "paper", 0, REG_SZ, reinterpret_cast<const BYTE*>("A4"), 3));
        RegCloseKey(key);
    }
    registerProductMonitor(2060);
    registerProductDriver();
    addProductPrinter("P1", {defaultKey("one")});
    addProductPrinter("P2", {defaultKey("two")});
    addProductPrinter("P3", {defaultKey("three")});
    InstallContext context;
    deleteProductPrinters(context);
    // P3 comes back first; its per-user copy of "SubKey" cannot be stored.
    control::failSpoolerCall(control::SpoolerCall::SetPrinterDataEx, 1, ERROR_ACCESS_DENIED, 1);
    restorePrinters(context);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, W(root + "one"), 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExA(key, "deleted", nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "paper", nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_CURRENT_USER, W(root + "two"), 0, KEY_READ, &key))
        << "a missing settings key is not created";
    EXPECT_FALSE(clearDeletedMark("Folioscopes\\one")) << "the mark is gone already";
    EXPECT_TRUE(clearDeletedMark("Folioscopes\\three")) << "a SubKey not stored keeps its mark";
}

} // namespace
