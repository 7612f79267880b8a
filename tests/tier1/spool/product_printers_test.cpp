// Deleting the product's printers (remembering them first) and adding one on the
// product's port.
#include "spool_test_support.h"

#include "spool/kept_printers.h"
#include "spool/product_printers.h"

namespace {

using namespace spool_test;
namespace control = winsim::control;

class ProductPrintersTest : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        registerProductMonitor(2060);
        registerProductDriver();
    }
};

void addProductPrinter(const std::string& name, const std::string& subKey, DWORD jobs = 0) {
    control::PrinterSetup setup;
    setup.name = name;
    setup.port = "Folioscope:";
    setup.driver = "Folioscope printer";
    setup.data = {{"PrinterDriverData", "SubKey", subKey}};
    setup.jobs = jobs;
    control::addPrinter(setup);
}

std::vector<std::string> keptNames(const InstallContext& context) {
    std::vector<std::string> names;
    for (KeptPrinter* kept = context.keptPrinters; kept != nullptr; kept = kept->next) {
        names.push_back(u8(kept->printer->pPrinterName) + "=" + kept->subKey);
    }
    return names;
}

TEST_F(ProductPrintersTest, OnlyPrintersOfTheExactProductDriverAreDeleted) {
    registerOtherDriver();
    addPrinter("Other", "LPT1:", kOtherDriver);
    addPrinter("Suffix", "LPT1:", "Folioscope printer 2");
    addPrinter("Upper", "LPT1:", "FOLIOSCOPE PRINTER");
    {
        InstallContext context;
        EXPECT_EQ(lines({">DeleteAllPrinters"}),
                  logOf(context, [&] { deleteProductPrinters(context); }));
        EXPECT_EQ(nullptr, context.keptPrinters);
    }
    addProductPrinter("P1", "one");
    addProductPrinter("P2", "two");
    InstallContext context;
    EXPECT_EQ(lines({">DeleteAllPrinters", "  >DeletePrinter(P1)", "    OK", "  >DeletePrinter(P2)",
                     "    OK"}),
              logOf(context, [&] { deleteProductPrinters(context); }));
    EXPECT_EQ((std::vector<std::string>{"P2=two", "P1=one"}), keptNames(context))
        << "each remembered printer goes to the front";
    for (const char* name : {"P1", "P2"}) {
        EXPECT_EQ("", printer(name).name) << name;
    }
    for (const char* name : {"Other", "Suffix", "Upper"}) {
        EXPECT_EQ(name, printer(name).name);
    }
    EXPECT_EQ(0, context.errorCount);
}

TEST_F(ProductPrintersTest, PrinterThatCannotBeOpenedOrDeletedIsReportedAndTheRestGoesOn) {
    addProductPrinter("P1 gone", "one");
    addProductPrinter("P2 stuck", "two");
    addProductPrinter("P3", "three", 3); // its queued jobs are purged, not left pending
    InstallContext context;
    {
        // Someone removes the first printer after the list was taken.
        HANDLE handle = nullptr;
        PRINTER_DEFAULTSW rights{nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(W("P1 gone"), &handle, &rights));
        ASSERT_TRUE(DeletePrinter(handle));
        ClosePrinter(handle);
    }
    control::failSpoolerCall(control::SpoolerCall::DeletePrinter, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(lines({">DeleteAllPrinters", "  >DeletePrinter(P1 gone)",
                     "    Error(16): Can`t open printer 'P1 gone' - (The printer name is invalid.)",
                     "  >DeletePrinter(P2 stuck)",
                     "    Error(17): Can`t delete printer 'P2 stuck' - (Access is denied.)",
                     "  >DeletePrinter(P3)", "    OK"}),
              logOf(context, [&] { deleteProductPrinters(context); }));
    EXPECT_EQ(2, context.errorCount);
    EXPECT_EQ("P2 stuck", printer("P2 stuck").name);
    EXPECT_EQ("", printer("P3").name);
    EXPECT_EQ((std::vector<std::string>{"P3=three", "P2 stuck=two"}), keptNames(context));
}

TEST_F(ProductPrintersTest, AddedPrinterUsesTheProductPortAndDriver) {
    InstallContext context;
    const std::string checked = lines(
        {">AddPrinter(Folioscope)", "  Let's check our port monitors", "  Port monitor is found"});
    EXPECT_EQ(checked + lines({"  OK :)"}), logOf(context, [&] {
                  HANDLE handle = addProductPrinter(context, W("Folioscope"));
                  ASSERT_NE(nullptr, handle);
                  ClosePrinter(handle);
              }));
    control::PrinterState added = printer("Folioscope");
    EXPECT_EQ("Folioscope:", added.port);
    EXPECT_EQ("Folioscope printer", added.driver);
    EXPECT_EQ("WinPrint", added.printProcessor);
    EXPECT_EQ("", added.comment);

    // The name is taken now: the spooler's reason comes with error 15.
    EXPECT_EQ(
        checked + lines({"  Error(15): Can`t add printer 'Folioscope' - (The printer "
                         "already exists.)"}),
        logOf(context, [&] { EXPECT_EQ(nullptr, addProductPrinter(context, W("Folioscope"))); }));
    EXPECT_EQ(1, context.errorCount);
}

TEST_F(ProductPrintersTest, MissingMonitorIsOnlyLoggedAndTheAddIsStillTried) {
    const std::string refused =
        "  Error(15): Can`t add printer 'Folioscope' - (The specified port is unknown.)";
    ASSERT_TRUE(DeleteMonitorW(nullptr, nullptr, W("Folioscope:")));
    const struct {
        const char* situation;
        const char* deleteFirst;
        std::string log;
    } rows[] = {
        {"another monitor", "",
         lines({">AddPrinter(Folioscope)", "  Let's check our port monitors",
                "  No Folioscope port monitor was found.",
                "  ------- 1 existing monitors ----------", "  1. Local Port",
                "  ---------------------------------------", refused})},
        {"no monitors at all", "Local Port",
         lines({">AddPrinter(Folioscope)", "  Let's check our port monitors",
                "  1. EnumMonitors returns true", "  No Folioscope port monitor was found.",
                "  BTW, there is no port monitors on this system.", refused})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        if (*row.deleteFirst != '\0') {
            ASSERT_TRUE(DeleteMonitorW(nullptr, nullptr, W(row.deleteFirst)));
        }
        InstallContext context;
        EXPECT_EQ(row.log, logOf(context, [&] {
                      EXPECT_EQ(nullptr, addProductPrinter(context, W("Folioscope")));
                  }));
    }
}

} // namespace
