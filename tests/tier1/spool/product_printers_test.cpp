// Deleting the product's printers (remembering them first) and adding one on the
// product's port.
#include "spool_test_support.h"

#include "spool/kept_printers.h"
#include "spool/product_printers.h"

namespace {

using namespace spool_test;
namespace control = winsim::control;

using ProductPrintersTest = MachineTest;

void addProductPrinterWithSubKey(const std::string& name, const std::string& subKey) {
    control::PrinterSetup setup;
    setup.name = name;
    setup.port = "Folioscope:";
    setup.driver = "Folioscope printer";
    setup.data = {{"PrinterDriverData", "SubKey", subKey}};
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
    registerProductMonitor(2060);
    registerProductDriver();
    registerOtherDriver();
    addPrinter("Other", "LPT1:", kOtherDriver);
    addPrinter("Suffix", "LPT1:", "Folioscope printer 2");
    addPrinter("Upper", "LPT1:", "FOLIOSCOPE PRINTER");
    {
        InstallContext context;
        size_t mark = logMark(context);
        deleteProductPrinters(context);
        EXPECT_EQ(lines({">DeleteAllPrinters"}), logSince(context, mark));
        EXPECT_EQ(nullptr, context.keptPrinters);
    }
    addProductPrinterWithSubKey("P1", "one");
    addProductPrinterWithSubKey("P2", "two");
    {
        InstallContext context;
        size_t mark = logMark(context);
        deleteProductPrinters(context);
        EXPECT_EQ(lines({">DeleteAllPrinters", "  >DeletePrinter(P1)", "    OK",
                         "  >DeletePrinter(P2)", "    OK"}),
                  logSince(context, mark));
        EXPECT_EQ((std::vector<std::string>{"P2=two", "P1=one"}), keptNames(context))
            << "each remembered printer goes to the front";
        EXPECT_EQ("", printer("P1").name);
        EXPECT_EQ("", printer("P2").name);
        EXPECT_EQ("Other", printer("Other").name);
        EXPECT_EQ("Suffix", printer("Suffix").name);
        EXPECT_EQ("Upper", printer("Upper").name);
        EXPECT_EQ(0, context.errorCount);
    }
}

TEST_F(ProductPrintersTest, PrinterThatCannotBeOpenedOrDeletedIsReportedAndTheRestGoesOn) {
    registerProductMonitor(2060);
    registerProductDriver();
    addProductPrinterWithSubKey("P1 gone", "one");
    addProductPrinterWithSubKey("P2 stuck", "two");
    addProductPrinterWithSubKey("P3", "three");
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
    size_t mark = logMark(context);
    deleteProductPrinters(context);
    EXPECT_EQ(lines({">DeleteAllPrinters", "  >DeletePrinter(P1 gone)",
                     "    Error(16): Can`t open printer 'P1 gone' - (The printer name is invalid.)",
                     "  >DeletePrinter(P2 stuck)",
                     "    Error(17): Can`t delete printer 'P2 stuck' - (Access is denied.)",
                     "  >DeletePrinter(P3)", "    OK"}),
              logSince(context, mark));
    EXPECT_EQ(2, context.errorCount);
    EXPECT_EQ("P2 stuck", printer("P2 stuck").name);
    EXPECT_EQ("", printer("P3").name);
    EXPECT_EQ((std::vector<std::string>{"P3=three", "P2 stuck=two"}), keptNames(context));
}

TEST_F(ProductPrintersTest, QueuedJobsArePurgedBeforeTheDelete) {
    registerProductMonitor(2060);
    registerProductDriver();
    control::PrinterSetup busy;
    busy.name = "Busy";
    busy.port = "Folioscope:";
    busy.driver = "Folioscope printer";
    busy.jobs = 3;
    control::addPrinter(busy);
    InstallContext context;
    deletePrinterByName(context, W("Busy"));
    EXPECT_EQ("", printer("Busy").name) << "gone, not left pending deletion";
    EXPECT_EQ(0, context.errorCount);
}

TEST_F(ProductPrintersTest, AddedPrinterUsesTheProductPortAndDriver) {
    registerProductMonitor(2060);
    registerProductDriver();
    InstallContext context;
    size_t mark = logMark(context);
    HANDLE handle = addProductPrinter(context, W("Folioscope"));
    ASSERT_NE(nullptr, handle);
    ClosePrinter(handle);
    EXPECT_EQ(lines({">AddPrinter(Folioscope)", "  Let's check our port monitors",
                     "  Port monitor is found", "  OK :)"}),
              logSince(context, mark));
    control::PrinterState added = printer("Folioscope");
    EXPECT_EQ("Folioscope:", added.port);
    EXPECT_EQ("Folioscope printer", added.driver);
    EXPECT_EQ("WinPrint", added.printProcessor);
    EXPECT_EQ("", added.comment);

    // The name is taken now: the spooler's reason comes with error 15.
    mark = logMark(context);
    EXPECT_EQ(nullptr, addProductPrinter(context, W("Folioscope")));
    EXPECT_EQ(lines({">AddPrinter(Folioscope)", "  Let's check our port monitors",
                     "  Port monitor is found",
                     "  Error(15): Can`t add printer 'Folioscope' - (The printer already "
                     "exists.)"}),
              logSince(context, mark));
    EXPECT_EQ(1, context.errorCount);
}

TEST_F(ProductPrintersTest, MissingMonitorIsOnlyLoggedAndTheAddIsStillTried) {
    registerProductDriver();
    {
        InstallContext context;
        size_t mark = logMark(context);
        EXPECT_EQ(nullptr, addProductPrinter(context, W("Folioscope")));
        EXPECT_EQ(lines({">AddPrinter(Folioscope)", "  Let's check our port monitors",
                         "  No Folioscope port monitor was found.",
                         "  ------- 1 existing monitors ----------", "  1. Local Port",
                         "  ---------------------------------------",
                         "  Error(15): Can`t add printer 'Folioscope' - (The specified port is "
                         "unknown.)"}),
                  logSince(context, mark));
    }
    ASSERT_TRUE(DeleteMonitorW(nullptr, nullptr, W("Local Port")));
    {
        InstallContext context;
        size_t mark = logMark(context);
        EXPECT_EQ(nullptr, addProductPrinter(context, W("Folioscope")));
        EXPECT_EQ(
            lines({">AddPrinter(Folioscope)", "  Let's check our port monitors",
                   "  1. EnumMonitors returns true", "  No Folioscope port monitor was found.",
                   "  BTW, there is no port monitors on this system.",
                   "  Error(15): Can`t add printer 'Folioscope' - (The specified port is "
                   "unknown.)"}),
            logSince(context, mark));
    }
}

} // namespace
