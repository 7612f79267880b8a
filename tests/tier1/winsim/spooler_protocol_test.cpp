// The probe-then-fill protocol of every INFO query: the probe reports the size, a buffer one
// byte short fails with 122 and the same size, the exact size succeeds with every string
// inside the buffer, and an empty answer succeeds on the probe.
#include <functional>

#include "spooler_test_support.h"

namespace {

using namespace spooler_test;
namespace control = winsim::control;

using Strings = std::function<std::vector<const void*>(const BYTE*, DWORD count)>;

// The string pointers of `count` entries of type Info, to check they point into the buffer.
template <typename Info, typename... Fields> Strings stringsOf(Fields... fields) {
    return [=](const BYTE* buffer, DWORD count) {
        std::vector<const void*> strings;
        auto* entries = reinterpret_cast<const Info*>(buffer);
        for (DWORD i = 0; i < count; ++i) {
            (strings.push_back(entries[i].*fields), ...);
        }
        return strings;
    };
}

// One query: calls it with a buffer and size, returns its result and what it reported.
struct Query {
    const char* label;
    std::function<BOOL(LPBYTE, DWORD, DWORD*, DWORD*)> call;
    size_t entrySize;
    Strings strings;
};

// Every INFO query the installer makes; the Get* ones ask about `printer`.
std::vector<Query> queriesOf(HANDLE printer, W& environment) {
    using P = PRINTER_INFO_2W;
    using D6 = DRIVER_INFO_6W;
    using D2 = DRIVER_INFO_2W;
    using M = MONITOR_INFO_2W;
    Strings printers = stringsOf<P>(&P::pPrinterName, &P::pPortName, &P::pDriverName, &P::pComment,
                                    &P::pLocation, &P::pPrintProcessor);
    return {
        {"EnumPrintersW",
         [](LPBYTE b, DWORD n, DWORD* need, DWORD* count) {
             return EnumPrintersW(6, nullptr, 2, b, n, need, count);
         },
         sizeof(P), printers},
        {"GetPrinterW",
         [printer](LPBYTE b, DWORD n, DWORD* need, DWORD* count) {
             *count = 1;
             return GetPrinterW(printer, 2, b, n, need);
         },
         sizeof(P), printers},
        {"EnumMonitorsW",
         [](LPBYTE b, DWORD n, DWORD* need, DWORD* count) {
             return EnumMonitorsW(nullptr, 2, b, n, need, count);
         },
         sizeof(M), stringsOf<M>(&M::pName, &M::pEnvironment, &M::pDLLName)},
        {"EnumPrinterDriversW",
         [&environment](LPBYTE b, DWORD n, DWORD* need, DWORD* count) {
             return EnumPrinterDriversW(nullptr, environment, 6, b, n, need, count);
         },
         sizeof(D6),
         stringsOf<D6>(&D6::pName, &D6::pEnvironment, &D6::pDriverPath, &D6::pHelpFile,
                       &D6::pszMfgName, &D6::pszOEMUrl, &D6::pszProvider)},
        {"GetPrinterDriverW",
         [printer, &environment](LPBYTE b, DWORD n, DWORD* need, DWORD* count) {
             *count = 1;
             return GetPrinterDriverW(printer, environment, 2, b, n, need);
         },
         sizeof(D2),
         stringsOf<D2>(&D2::pName, &D2::pEnvironment, &D2::pDriverPath, &D2::pConfigFile)},
    };
}

class SpoolerProtocolTest : public SpoolerTest {
  protected:
    void SetUp() override {
        SpoolerTest::SetUp();
        control::registerMonitor(kMonitor, kMonitorDll, "3.0.0.2060");
        stageDriverFiles();
        ASSERT_TRUE(installDriver());
        control::addPrinter(printerSetup("Folioscope", "Folioscope:", kDriver, "comment", "here"));
        control::addPrinter(printerSetup("Office", "LPT1:", kDriver));
        printer_.handle = openPrinter("Folioscope", PRINTER_ACCESS_USE);
    }
    void TearDown() override {
        ClosePrinter(printer_.handle);
        printer_.handle = nullptr;
        SpoolerTest::TearDown();
    }

    std::vector<Query> queries() { return queriesOf(printer_.handle, environment_); }

    PrinterGuard printer_;
    W environment_{"Windows x64"};
};

TEST_F(SpoolerProtocolTest, ProbeShortExactAndLargerBuffers) {
    for (const Query& q : queries()) {
        SCOPED_TRACE(q.label);
        DWORD needed = kPoison;
        DWORD count = kPoison;
        poison();
        EXPECT_FALSE(q.call(nullptr, 64, &needed, &count)) << "a size without a buffer";
        EXPECT_EQ(DWORD{ERROR_INVALID_USER_BUFFER}, GetLastError());
        EXPECT_EQ(kPoison, needed);

        poison();
        EXPECT_FALSE(q.call(nullptr, 0, &needed, &count));
        EXPECT_EQ(DWORD{ERROR_INSUFFICIENT_BUFFER}, GetLastError());
        ASSERT_NE(kPoison, needed);
        ASSERT_GT(needed, q.entrySize);

        std::vector<BYTE> shortBuffer(needed - 1, 0xAB);
        DWORD shortNeeded = 0;
        poison();
        EXPECT_FALSE(q.call(shortBuffer.data(), needed - 1, &shortNeeded, &count));
        EXPECT_EQ(DWORD{ERROR_INSUFFICIENT_BUFFER}, GetLastError());
        EXPECT_EQ(needed, shortNeeded);

        for (DWORD extra : {0u, 33u}) {
            std::vector<BYTE> buffer(needed + extra, 0xAB);
            DWORD filled = 0;
            poison();
            ASSERT_TRUE(q.call(buffer.data(), needed + extra, &filled, &count));
            EXPECT_EQ(kPoison, GetLastError());
            EXPECT_EQ(needed, filled);
            for (const void* s : q.strings(buffer.data(), count)) {
                EXPECT_TRUE(inside(s, buffer)) << "extra " << extra;
            }
        }
    }
}

TEST_F(SpoolerProtocolTest, AnswersCarryTheModelsState) {
    control::addPrinter(printerSetup("accounts", "FILE:", "Other driver"));
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    DWORD count = 0;
    ASSERT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2,
                              buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &count));
    ASSERT_EQ(3u, count);
    auto* printers = reinterpret_cast<PRINTER_INFO_2W*>(buffer.data());
    EXPECT_EQ("accounts", u8(printers[0].pPrinterName)) << "in name order";
    EXPECT_EQ("Other driver", u8(printers[0].pDriverName));
    EXPECT_EQ(nullptr, printers[0].pServerName) << "local printers";
    EXPECT_EQ("Folioscope:", u8(printers[1].pPortName));
    EXPECT_EQ("comment", u8(printers[1].pComment));
    EXPECT_EQ("here", u8(printers[1].pLocation));
    EXPECT_EQ("Office", u8(printers[2].pPrinterName));

    ASSERT_TRUE(EnumPrinterDriversW(nullptr, environment_, 6, buffer.data(),
                                    static_cast<DWORD>(buffer.size()), &needed, &count));
    ASSERT_EQ(1u, count);
    auto* driver = reinterpret_cast<DRIVER_INFO_6W*>(buffer.data());
    EXPECT_EQ(3u, driver->cVersion);
    EXPECT_EQ(kDriver, u8(driver->pName));
    EXPECT_EQ(versionDir("orvdrv64.dll"), u8(driver->pDataFile));
    EXPECT_EQ(versionDir("orvhelp.chm"), u8(driver->pHelpFile));
    EXPECT_EQ("Orvanta Software Kft.", u8(driver->pszProvider));
    EXPECT_EQ("https://orvanta.example/", u8(driver->pszOEMUrl));

    ASSERT_TRUE(EnumMonitorsW(nullptr, 2, buffer.data(), static_cast<DWORD>(buffer.size()), &needed,
                              &count));
    ASSERT_EQ(2u, count);
    auto* monitors = reinterpret_cast<MONITOR_INFO_2W*>(buffer.data());
    EXPECT_EQ("Local Port", u8(monitors[0].pName)) << "the spooler lists the registry backwards";
    EXPECT_EQ("localspl.dll", u8(monitors[0].pDLLName));
    EXPECT_EQ(kMonitor, u8(monitors[1].pName));
    EXPECT_EQ(kMonitorDll, u8(monitors[1].pDLLName)) << "the DLL name as registered";
}

TEST_F(SpoolerTest, EmptyAnswersSucceedOnTheProbe) {
    ASSERT_TRUE(deleteMonitor("Local Port"));
    W environment("Windows x64");
    for (const Query& q : queriesOf(nullptr, environment)) {
        if (std::string(q.label).rfind("Enum", 0) != 0) {
            continue; // the Get* queries need a printer
        }
        SCOPED_TRACE(q.label);
        DWORD needed = kPoison;
        DWORD count = kPoison;
        poison();
        EXPECT_TRUE(q.call(nullptr, 0, &needed, &count));
        bool printers = std::string(q.label) == "EnumPrintersW";
        EXPECT_EQ(printers ? DWORD{ERROR_SUCCESS} : kPoison, GetLastError())
            << "what success leaves";
        EXPECT_EQ(0u, needed);
        EXPECT_EQ(0u, count);
    }
}

TEST_F(SpoolerTest, QueryKnobFailsTheProbe) {
    control::failSpoolerCall(control::SpoolerCall::EnumPrinters, 1, ERROR_NOT_ENOUGH_MEMORY);
    DWORD needed = kPoison;
    DWORD count = kPoison;
    poison();
    EXPECT_FALSE(EnumPrintersW(6, nullptr, 2, nullptr, 0, &needed, &count));
    EXPECT_EQ(DWORD{ERROR_NOT_ENOUGH_MEMORY}, GetLastError());
    EXPECT_EQ(kPoison, needed);
    EXPECT_EQ(kPoison, count);
    poison();
    EXPECT_TRUE(EnumPrintersW(6, nullptr, 2, nullptr, 0, &needed, &count));
}

} // namespace
