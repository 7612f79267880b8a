// Copying a product file, and the deferred deletion of targets a broken copy left behind.
#include "system_test.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "log/wide_text.h"
#include "machine.h"
#include "system/deferred_files.h"
#include "system/file_copy.h"
#include "system/spooler_service.h"
#include "winsim/control.h"

namespace {

using namespace winsim::control;

const std::string kSource = "C:\\Program Files\\Folioscope\\orvmon64.dll";
const std::string kTarget = "C:\\Windows\\System32\\orvmon64.dll";
const std::string kSharing =
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
    HRESULT copy(bool reportErrors, const char* targetDir = "C:\\Windows\\System32",
                 DWORD outChars = MAX_PATH) {
        return copyProductFile(context(), W(targetDir), W("orvmon64.dll"), out, outChars,
                               reportErrors);
    }
    WCHAR out[MAX_PATH] = {};
};

TEST_F(CopyProductFile, CopiesEveryByteInBlocksOf8192) {
    for (size_t size : {0, 1, 8191, 8192, 8193, 3 * 8192, 20000}) {
        SCOPED_TRACE(size);
        TearDown();
        SetUp();
        writeFile(kSource, contentsOf(size));
        writeFile(kTarget, "an older and longer build of the monitor");
        EXPECT_EQ(S_OK, copy(false));
        EXPECT_EQ(contentsOf(size), readFile(kTarget));
        EXPECT_EQ(header(false) + "  Copy Succeeded :)\r\n", log());
        EXPECT_EQ(0, context().logDepth);
        EXPECT_EQ(0u, elapsedMs());
    }
    // One separator between directory and name, and a buffer of exactly the path's size. A
    // good copy takes back what a broken one left for the deferred deletion. Programs that
    // read the source or the old target, sharing it, do not stop the copy.
    assign(context().programDir, W("C:\\Program Files\\Folioscope"));
    addDeferredFile(context().deferredFiles, W(kTarget));
    holdFile(kSource, "scanner.exe", false);
    winsim::machine().files.holdFile(kTarget, "scanner", GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, false);
    EXPECT_EQ(S_OK, copy(true, "C:\\Windows\\System32\\", static_cast<DWORD>(kTarget.size() + 1)));
    EXPECT_EQ(kTarget, u8(out));
    EXPECT_EQ(nullptr, context().deferredFiles);
    // A directory set-up could not read is empty: the target is the bare name.
    copy(true, "");
    EXPECT_EQ("orvmon64.dll", u8(out));
    // The tick count wraps while a held target is waited for; the unsigned difference still
    // measures 4.95 s.
    holdFileBySpooler(kTarget, true);
    setClockMs(0xFFFFFFFFull - 1000);
    EXPECT_EQ(E_FAIL, copy(false));
    EXPECT_EQ(0xFFFFFFFFull - 1000 + 4950, clockMs());
}

struct FailureRow {
    const char* name;
    std::function<void()> arrange;
    std::string timeoutLine; // written whatever the caller asked for
    std::string errorLine;   // written only with reportErrors, unless always reported
    bool alwaysReported;
    uint64_t waitedMs;
    DWORD outChars;
    std::string targetAfter; // "" when there must be no target
    bool deferred;           // the broken copy's target could not be deleted
};

// Every failed copy ends in "Copy Failed :(" and E_FAIL; a copy that breaks off is
// reported whatever the caller asked for, and its truncated target is deleted (or, while
// someone holds it, left for the deferred deletion). A target never opened is left alone.
TEST_F(CopyProductFile, FailuresAreLoggedAndEndInCopyFailed) {
    const std::string unopenable = "  Error(9): Cant't open destination file: " + kTarget;
    const std::string broken = "  Error(8): CopyFile(..," + kTarget + ") - (";
    const std::string readFault = "The system cannot read from the specified device.)\r\n";
    const FailureRow rows[] = {
        // Held for 20 s, each open fails at once: 100 attempts, 99 pauses of 50 ms.
        {"target locked for 20 s", [] { holdFile(kTarget, "viewer.exe", true, 20000); }, "",
         unopenable + " - (" + kSharing + ")\r\n", false, 4950, MAX_PATH, "held", false},
        // Each failing open costs 100 ms: attempt 67 ends at exactly 10 s, which is not yet
        // more than 10 s; attempt 68 ends at 68 x 100 + 67 x 50 ms.
        {"slow medium",
         [] {
             holdFileBySpooler(kTarget, true);
             setFailingOpenCostMs(100);
         },
         "  CreateFile - timeout\r\n", unopenable + " - (" + kSharing + ")\r\n", false, 10150,
         MAX_PATH, "held", false},
        {"missing source", [] { DeleteFileW(W(kSource)); }, "",
         "  Error(10): Cant't open source file: orvmon64.dll - (The system cannot find the file "
         "specified.)\r\n",
         false, 0, MAX_PATH, "held", false},
        // No file is opened, and the caller gets an empty path rather than a cut one.
        {"target path longer than the buffer", [] {}, "",
         unopenable + " - (The data area passed to a system call is too small.)\r\n", false, 0,
         static_cast<DWORD>(kTarget.size()), "held", false},
        {"read fails after the first block",
         [] { failReadsAfter(kSource, 8192, ERROR_READ_FAULT); }, "", broken + readFault, true, 0,
         MAX_PATH, "", false},
        {"disk full", [] { setDiskFreeBytes(10000); }, "",
         broken + "There is not enough space on the disk.)\r\n", true, 0, MAX_PATH, "", false},
        // A scanner reads the new target and lets others write, but not delete.
        {"read fails, target held",
         [] {
             failReadsAfter(kSource, 8192, ERROR_READ_FAULT);
             winsim::machine().files.holdFile(kTarget, "scanner", GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, false);
         },
         "", broken + readFault, true, 0, MAX_PATH, "", true},
    };
    for (const FailureRow& row : rows) {
        for (bool reportErrors : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (reportErrors ? ", reported" : ""));
            TearDown();
            SetUp();
            writeFile(kSource, contentsOf(20000));
            if (!row.targetAfter.empty()) {
                writeFile(kTarget, row.targetAfter);
            }
            row.arrange();
            std::fill(std::begin(out), std::end(out), L'x');
            EXPECT_EQ(E_FAIL, copy(reportErrors, "C:\\Windows\\System32", row.outChars));
            bool reported = reportErrors || row.alwaysReported;
            EXPECT_EQ(header(reportErrors) + row.timeoutLine + (reported ? row.errorLine : "") +
                          "  Copy Failed :(\r\n",
                      log());
            EXPECT_EQ(reported ? 1 : 0, context().errorCount);
            EXPECT_EQ(row.waitedMs, elapsedMs());
            EXPECT_EQ(row.outChars == MAX_PATH ? kTarget : "", u8(out));
            if (!row.targetAfter.empty()) {
                EXPECT_EQ(row.targetAfter, readFile(kTarget));
            } else {
                EXPECT_EQ(row.deferred, fileExists(kTarget));
            }
            const DeferredFile* deferred = context().deferredFiles;
            EXPECT_EQ(row.deferred ? kTarget : "", deferred != nullptr ? u8(deferred->path) : "");
        }
    }
}

using DeferredFiles = SystemTest;

std::vector<std::string> pathsOf(const DeferredFile* node) {
    std::vector<std::string> paths;
    for (; node != nullptr; node = node->next) {
        paths.push_back(u8(node->path));
    }
    return paths;
}

TEST_F(DeferredFiles, KeepsEachPathOnceNewestFirst) {
    DeferredFile*& head = context().deferredFiles;
    // Out of memory for the node or for its path: nothing is listed, nothing is kept.
    for (size_t granted : {0, 1}) {
        failAllocations(granted, 1);
        addDeferredFile(head, W("C:\\Drivers\\orvdrv64.dll"));
        EXPECT_EQ(nullptr, head);
        EXPECT_EQ(0u, liveMemoryBlocks());
    }
    addDeferredFile(head, W("C:\\Windows\\System32\\orvmon64.dll"));
    addDeferredFile(head, W("C:\\Drivers\\orvdrv64.dll"));
    addDeferredFile(head, W("C:\\Windows\\System32\\orvmon64.dll"));
    addDeferredFile(head, W("C:\\Windows\\System32\\ORVMON64.DLL"));
    addDeferredFile(head, W(""));
    addDeferredFile(head, nullptr);
    EXPECT_EQ((std::vector<std::string>{"C:\\Windows\\System32\\ORVMON64.DLL",
                                        "C:\\Drivers\\orvdrv64.dll",
                                        "C:\\Windows\\System32\\orvmon64.dll"}),
              pathsOf(head));
    EXPECT_EQ(6u, liveMemoryBlocks()); // three nodes, three paths; the context frees them
}

// Deleted and vanished files leave the list silently; a file still held and one whose
// directory is gone stay for the next try and, at last, for the reboot.
TEST_F(DeferredFiles, DropsWhatIsGoneAndKeepsWhatIsNot) {
    writeFile("C:\\Drivers\\deletable.dll", "x");
    writeFile("C:\\Drivers\\held.dll", "x");
    holdFileBySpooler("C:\\Drivers\\held.dll", true);
    DeferredFile*& head = context().deferredFiles;
    addDeferredFile(head, W("C:\\Drivers\\held.dll"));
    addDeferredFile(head, W("C:\\Gone\\orvdrv64.dll"));
    addDeferredFile(head, W("C:\\Drivers\\deletable.dll"));
    addDeferredFile(head, W("C:\\Drivers\\already-gone.dll"));
    SetLastError(0);
    deleteDeferredFiles(context());
    EXPECT_EQ("DeleteFile-try\r\n", log());
    EXPECT_EQ(0, context().errorCount);
    EXPECT_FALSE(fileExists("C:\\Drivers\\deletable.dll"));
    EXPECT_EQ((std::vector<std::string>{"C:\\Gone\\orvdrv64.dll", "C:\\Drivers\\held.dll"}),
              pathsOf(head));
    {
        SpoolerRestart restart(nullptr);
        deleteDeferredFiles(context());
    }
    EXPECT_FALSE(fileExists("C:\\Drivers\\held.dll"));
    EXPECT_EQ((std::vector<std::string>{"C:\\Gone\\orvdrv64.dll"}), pathsOf(head));
    EXPECT_EQ(2u, liveMemoryBlocks()); // the kept node and its path
}

} // namespace
