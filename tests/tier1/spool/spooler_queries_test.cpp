// The two-call query protocol and the spooler wrappers built on it: what the caller gets,
// the last error a failure leaves, and the blocks left allocated.
#include "spool_test_support.h"

#include <vector>

#include "machine.h"
#include "spool/probe_and_fill.h"
#include "spool/spooler_queries.h"

namespace {

using namespace spool_test;
namespace control = winsim::control;

using SpoolerQueriesTest = MachineTest;

const DWORD kPoison = 0xDEADBEEF;
const DWORD kAnswerSize = 40;

// A scripted spooler call: the probe's result and error, then the fill's.
struct ScriptedCall {
    BOOL probeResult;
    DWORD probeError;
    BOOL fillResult;
    DWORD fillError;
    std::vector<DWORD> sizesSeen;

    BOOL operator()(BYTE* buffer, DWORD size, DWORD& needed) {
        sizesSeen.push_back(size);
        needed = kAnswerSize;
        bool probe = buffer == nullptr;
        SetLastError(probe ? probeError : fillError);
        return probe ? probeResult : fillResult;
    }
};

TEST_F(SpoolerQueriesTest, ProbeAndFillOutcomes) {
    const struct {
        const char* situation;
        ProbeRule rule;
        BOOL probeResult;
        DWORD probeError;
        DWORD fillError; // 0: the fill succeeds
        QueryOutcome outcome;
        size_t calls;
        DWORD lastError;
    } rows[] = {
        {"nothing to list", ProbeRule::successMeansEmpty, TRUE, 0, 0, QueryOutcome::nothingToList,
         1, 0},
        {"probe refused", ProbeRule::successMeansEmpty, FALSE, RPC_S_SERVER_UNAVAILABLE, 0,
         QueryOutcome::probeFailed, 1, RPC_S_SERVER_UNAVAILABLE},
        {"single object: result not looked at", ProbeRule::errorOnly, TRUE,
         ERROR_INSUFFICIENT_BUFFER, 0, QueryOutcome::filled, 2, 0},
        {"single object: error decides", ProbeRule::errorOnly, FALSE, ERROR_UNKNOWN_PRINTER_DRIVER,
         0, QueryOutcome::probeFailed, 1, ERROR_UNKNOWN_PRINTER_DRIVER},
        {"fill refused", ProbeRule::successMeansEmpty, FALSE, ERROR_INSUFFICIENT_BUFFER,
         ERROR_ACCESS_DENIED, QueryOutcome::fillFailed, 2, ERROR_ACCESS_DENIED},
        {"no memory for the answer", ProbeRule::successMeansEmpty, FALSE, ERROR_INSUFFICIENT_BUFFER,
         0, QueryOutcome::noMemory, 1, DWORD(E_OUTOFMEMORY)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        ScriptedCall call{row.probeResult, row.probeError, row.fillError == 0, row.fillError, {}};
        BYTE* buffer = reinterpret_cast<BYTE*>(&call);
        DWORD needed = kPoison;
        SetLastError(kPoison);
        control::failAllocations(0, row.outcome == QueryOutcome::noMemory ? 1 : 0);
        EXPECT_EQ(row.outcome, probeAndFill(std::ref(call), row.rule, 2, buffer, needed));
        EXPECT_EQ(row.calls, call.sizesSeen.size());
        EXPECT_EQ(row.lastError, GetLastError());
        if (row.outcome == QueryOutcome::filled) {
            ASSERT_NE(nullptr, buffer);
            EXPECT_EQ(kAnswerSize, call.sizesSeen[1]) << "asked for at the named size";
            EXPECT_EQ(size_t{kAnswerSize + 2}, winsim::machine().memory.sizeOf(buffer));
            GlobalFree(buffer);
        } else {
            EXPECT_EQ(nullptr, buffer);
        }
        EXPECT_EQ(0u, control::liveMemoryBlocks());
    }
}

TEST_F(SpoolerQueriesTest, PrinterListHas32SpareBytesAndIsRefilledInPlace) {
    PrinterList list{nullptr, 7};
    enumAllPrinters(list);
    EXPECT_EQ(nullptr, list.printers);
    EXPECT_EQ(0u, list.count);
    EXPECT_EQ(0u, control::liveMemoryBlocks());

    registerOtherDriver();
    addPrinter("First", "LPT1:", kOtherDriver);
    addPrinter("Second", "LPT2:", kOtherDriver);
    DWORD needed = 0;
    DWORD returned = 0;
    EXPECT_FALSE(EnumPrintersW(6, nullptr, 2, nullptr, 0, &needed, &returned));
    enumAllPrinters(list);
    ASSERT_EQ(2u, list.count);
    EXPECT_EQ("First", u8(list.printers[0].pPrinterName));
    EXPECT_EQ("Second", u8(list.printers[1].pPrinterName));
    EXPECT_EQ(size_t{needed} + 32, winsim::machine().memory.sizeOf(list.printers));
    enumAllPrinters(list);
    EXPECT_EQ(1u, control::liveMemoryBlocks()) << "the old answer was freed";

    control::failSpoolerCall(control::SpoolerCall::EnumPrinters, 1, RPC_S_SERVER_UNAVAILABLE);
    SetLastError(kPoison);
    enumAllPrinters(list);
    EXPECT_EQ(DWORD{RPC_S_SERVER_UNAVAILABLE}, GetLastError());
    EXPECT_EQ(nullptr, list.printers);
    EXPECT_EQ(0u, list.count);
    EXPECT_EQ(0u, control::liveMemoryBlocks());
    releasePrinterList(list);
}

} // namespace
