#include "system_test.h"

#include <string>

#include "log/wide_text.h"
#include "system/file_copy.h"
#include "winsim/control.h"

namespace {

using namespace winsim::control;

const char kSource[] = "C:\\Program Files\\Folioscope\\orvmon64.dll";
const char kTarget[] = "C:\\Windows\\System32\\orvmon64.dll";
const char kSharing[] =
    "The process cannot access the file because it is being used by another process.";

std::string header(bool reportErrors) {
    return std::string(">CopyFile orvmon64.dll to C:\\Windows\\System32 [") +
           (reportErrors ? "1" : "0") + "])\r\n";
}

// Bytes that differ from block to block, so a block copied twice or skipped shows.
std::string contentsOf(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 7 + i / 8192);
    }
    return bytes;
}

class CopyProductFile : public SystemTest {
  protected:
    HRESULT copy(bool reportErrors, const char* targetDir = "C:\\Windows\\System32") {
        return copyProductFile(context(), W(targetDir), W("orvmon64.dll"), out, MAX_PATH,
                               reportErrors);
    }
    WCHAR out[MAX_PATH] = {};
};

TEST_F(CopyProductFile, CopiesEveryByteInBlocksOf8192) {
    for (size_t size : {0, 1, 8191, 8192, 8193, 3 * 8192, 20000}) {
        TearDown();
        SetUp();
        writeFile(kSource, contentsOf(size));
        writeFile(kTarget, "an older and longer build of the monitor");
        EXPECT_EQ(S_OK, copy(false)) << size;
        EXPECT_EQ(contentsOf(size), readFile(kTarget)) << size;
        EXPECT_EQ(header(false) + "  Copy Succeeded :)\r\n", log()) << size;
        EXPECT_EQ(0, context().logDepth);
        EXPECT_EQ(0u, elapsedMs()) << size;
    }
}

TEST_F(CopyProductFile, BuildsPathsWithOneSeparator) {
    writeFile(kSource, "monitor");
    assign(context().programDir, W("C:\\Program Files\\Folioscope"));
    EXPECT_EQ(S_OK, copy(true, "C:\\Windows\\System32\\"));
    EXPECT_EQ(kTarget, u8(out));
    EXPECT_EQ("monitor", readFile(kTarget));
}

// Another program holds the target for 20 s and each open fails at once: the 100 attempts
// are used up after 99 pauses of 50 ms, long before the 10 s limit.
TEST_F(CopyProductFile, GivesUpOnALockedTargetAfter100Attempts) {
    for (bool reportErrors : {false, true}) {
        TearDown();
        SetUp();
        writeFile(kSource, "monitor");
        writeFile(kTarget, "held");
        holdFile(kTarget, "viewer.exe", true, 20000);
        EXPECT_EQ(E_FAIL, copy(reportErrors));
        std::string error =
            reportErrors ? "  Error(9): Cant't open destination file: " + std::string(kTarget) +
                               " - (" + kSharing + ")\r\n"
                         : "";
        EXPECT_EQ(header(reportErrors) + error + "  Copy Failed :(\r\n", log());
        EXPECT_EQ(reportErrors ? 1 : 0, context().errorCount);
        EXPECT_EQ(4950u, elapsedMs());
        EXPECT_EQ("held", readFile(kTarget));
        EXPECT_EQ(kTarget, u8(out));
    }
}

// Each failing open costs 200 ms: attempt 41 ends at 41 x 200 + 40 x 50 = 10 200 ms.
TEST_F(CopyProductFile, TimesOutOnASlowMedium) {
    writeFile(kSource, "monitor");
    writeFile(kTarget, "held");
    holdFileBySpooler(kTarget, true);
    setFailingOpenCostMs(200);
    EXPECT_EQ(E_FAIL, copy(true));
    EXPECT_EQ(header(true) +
                  "  CreateFile - timeout\r\n  Error(9): Cant't open destination file: " + kTarget +
                  " - (" + kSharing + ")\r\n  Copy Failed :(\r\n",
              log());
    EXPECT_EQ(10200u, elapsedMs());
}

// The tick count wraps during the wait; the unsigned difference still measures 4.95 s.
TEST_F(CopyProductFile, WaitsTheSameAcrossAWrapOfTheTickCount) {
    writeFile(kSource, "monitor");
    holdFileBySpooler(kTarget, true);
    writeFile(kTarget, "held");
    const uint64_t start = 0xFFFFFFFFull - 1000;
    setClockMs(start);
    EXPECT_EQ(E_FAIL, copy(false));
    EXPECT_EQ(header(false) + "  Copy Failed :(\r\n", log());
    EXPECT_EQ(4950u, clockMs() - start);
}

TEST_F(CopyProductFile, MissingSourceIsReportedByItsNameOnlyWhenAsked) {
    for (bool reportErrors : {false, true}) {
        TearDown();
        SetUp();
        EXPECT_EQ(E_FAIL, copy(reportErrors));
        std::string error = reportErrors ? "  Error(10): Cant't open source file: orvmon64.dll - "
                                           "(The system cannot find the file specified.)\r\n"
                                         : "";
        EXPECT_EQ(header(reportErrors) + error + "  Copy Failed :(\r\n", log());
        EXPECT_FALSE(fileExists(kTarget));
        EXPECT_EQ(kTarget, u8(out));
    }
}

// A copy that breaks off leaves a truncated target: it fails and says so, whatever the
// caller asked for.
TEST_F(CopyProductFile, ACopyThatBreaksOffFails) {
    const struct {
        const char* name;
        void (*arrange)();
        const char* systemText;
    } rows[] = {
        {"read fails after the first block",
         [] { failReadsAfter(kSource, 8192, ERROR_READ_FAULT); },
         "The system cannot read from the specified device."},
        {"disk full", [] { setDiskFreeBytes(10000); }, "There is not enough space on the disk."},
    };
    for (const auto& row : rows) {
        for (bool reportErrors : {false, true}) {
            TearDown();
            SetUp();
            writeFile(kSource, contentsOf(20000));
            row.arrange();
            EXPECT_EQ(E_FAIL, copy(reportErrors)) << row.name;
            EXPECT_EQ(header(reportErrors) + "  Error(8): CopyFile(..," + kTarget + ") - (" +
                          row.systemText + ")\r\n  Copy Failed :(\r\n",
                      log())
                << row.name;
            EXPECT_EQ(1, context().errorCount) << row.name;
        }
    }
}

// A path that does not fit the caller's buffer fails the copy before any file is opened,
// and the caller is left an empty path rather than a cut one.
TEST_F(CopyProductFile, TargetPathLongerThanTheCallersBufferFailsCleanly) {
    const std::string target = kTarget;
    for (bool reportErrors : {false, true}) {
        TearDown();
        SetUp();
        writeFile(kSource, "monitor");
        writeFile(kTarget, "old");
        WCHAR small[sizeof(kTarget) - 1];
        for (WCHAR& c : small) {
            c = L'x';
        }
        EXPECT_EQ(E_FAIL, copyProductFile(context(), W("C:\\Windows\\System32"), W("orvmon64.dll"),
                                          small, sizeof(kTarget) - 1, reportErrors));
        EXPECT_EQ(0, small[0]);
        std::string error = reportErrors ? "  Error(9): Cant't open destination file: " + target +
                                               " - (The data area passed to a system call is too "
                                               "small.)\r\n"
                                         : "";
        EXPECT_EQ(header(reportErrors) + error + "  Copy Failed :(\r\n", log());
        EXPECT_EQ("old", readFile(kTarget));
    }
    WCHAR exact[sizeof(kTarget)];
    EXPECT_EQ(S_OK, copyProductFile(context(), W("C:\\Windows\\System32"), W("orvmon64.dll"), exact,
                                    sizeof(kTarget), false));
    EXPECT_EQ(target, u8(exact));
}

} // namespace
