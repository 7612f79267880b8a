#include <windows.h>

#include "files_test_support.h"
#include "machine.h"
#include "support/machine_test.h"

namespace {

namespace control = winsim::control;

const char kDll[] = "C:\\Windows\\system32\\folioport.dll";

class FilesHolds : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        control::writeFile(kDll, "MZ");
    }

    // What the installer meets: overwriting as the copy does, then deleting. (Reading a
    // held image is pinned by the version tests.)
    struct Outcome {
        DWORD deleteError;
        DWORD overwriteError;
    };
    Outcome tryEverything() {
        Outcome outcome{};
        SetLastError(0xDEADBEEF);
        HANDLE h = openFile(kDll, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
        outcome.overwriteError = h == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
        SetLastError(0xDEADBEEF);
        outcome.deleteError = deleteFile(kDll) ? 0 : GetLastError();
        return outcome;
    }
};

// Loaded images refuse delete with 5 whatever their share mode, and writes with 32.
TEST_F(FilesHolds, LoadedImageRefusesDeleteWith5AndWriteWith32) {
    control::holdFile(kDll, "spoolsv.exe", true);
    const Outcome o = tryEverything();
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), o.deleteError);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), o.overwriteError);
    control::releaseFileHolds("spoolsv.exe");
    winsim::machine().files.holdFile(kDll, "spooler", GENERIC_READ | GENERIC_EXECUTE,
                                     FILE_SHARE_READ, true);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), tryEverything().deleteError);
}

TEST_F(FilesHolds, FileOpenElsewhereWithoutShareDeleteRefusesBothWith32) {
    control::holdFile(kDll, "viewer.exe", false);
    const Outcome o = tryEverything();
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), o.deleteError);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), o.overwriteError);
}

TEST_F(FilesHolds, SpoolerHoldsEndWhenTheSpoolerLetsGoOrOnReboot) {
    control::holdFileBySpooler(kDll, true);
    control::releaseFileHolds("viewer.exe");
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), tryEverything().deleteError);
    winsim::machine().files.releaseHolds("spooler");
    EXPECT_EQ(0u, tryEverything().deleteError);

    control::writeFile(kDll, "MZ");
    control::holdFileBySpooler(kDll, true);
    control::holdFile(kDll, "viewer.exe", false);
    control::reboot();
    const Outcome o = tryEverything();
    EXPECT_EQ(0u, o.overwriteError);
    EXPECT_EQ(0u, o.deleteError);
}

TEST_F(FilesHolds, HolderSharingDeleteLeavesTheFilePendingUntilItLetsGo) {
    winsim::machine().files.holdFile(kDll, "scanner", GENERIC_READ, kShareAll, false);
    EXPECT_TRUE(deleteFile(kDll));
    EXPECT_TRUE(control::fileExists(kDll));
    control::releaseFileHolds("scanner");
    EXPECT_FALSE(control::fileExists(kDll));
}

TEST_F(FilesHolds, TimedHoldsAndTheirPendingDeletionEndWithTheVirtualClock) {
    control::holdFile(kDll, "antivirus", false, 20000);
    Sleep(19999);
    EXPECT_EQ(INVALID_HANDLE_VALUE, openFile(kDll, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    Sleep(1);
    HANDLE h = openFile(kDll, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
    EXPECT_NE(INVALID_HANDLE_VALUE, h);
    CloseHandle(h);

    winsim::machine().files.holdFile(kDll, "indexer", GENERIC_READ, kShareAll, false, 1000);
    EXPECT_TRUE(deleteFile(kDll));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), attributesOf(kDll));
    Sleep(1000);
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, attributesOf(kDll));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(FilesHolds, HoldsReadOnlyMarksAndMediumFaultsSurviveSaveAndLoad) {
    control::writeFile("C:\\Data\\ro.txt", "r");
    control::writeFile("C:\\Data\\bad.bin", std::string(100, 'b'));
    control::setReadOnly("C:\\Data\\ro.txt", true);
    control::holdFileBySpooler(kDll, true);
    control::holdFile("C:\\Data\\bad.bin", "viewer.exe", false, 5000);
    control::setFailingOpenCostMs(200);
    control::setDiskFreeBytes(3);
    control::failReadsAfter("C:\\Data\\bad.bin", 10, ERROR_CRC);
    ASSERT_TRUE(control::saveMachine(dir()));
    control::freshMachine(dir() + "/elsewhere");
    ASSERT_TRUE(control::loadMachine(dir()));

    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), tryEverything().deleteError);
    EXPECT_FALSE(deleteFile("C:\\Data\\ro.txt"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              openFile("C:\\Data\\bad.bin", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING));
    EXPECT_EQ(400u, GetTickCount()); // two failing opens so far, each 200 ms
    Sleep(5000);

    char buffer[64];
    DWORD count = 0;
    HANDLE in = openFile("C:\\Data\\bad.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_FALSE(ReadFile(in, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CRC), GetLastError());
    CloseHandle(in);
    HANDLE out = openFile("C:\\Data\\new.txt", GENERIC_WRITE, 0, CREATE_NEW);
    EXPECT_FALSE(WriteFile(out, "abcd", 4, &count, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), GetLastError());
    CloseHandle(out);
}

} // namespace
