#include "system_test.h"

#include <string>
#include <vector>

#include "system/deferred_files.h"
#include "system/spooler_service.h"
#include "winsim/control.h"

namespace {

using namespace winsim::control;

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
