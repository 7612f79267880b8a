#include <windows.h>

#include "files_test_support.h"
#include "support/machine_test.h"
#include "machine.h"

namespace {

namespace control = winsim::control;

class FilesDelete : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        writeDataFiles();
    }
};

TEST_F(FilesDelete, FailuresAndTheirCodesThenSuccessLeavesTheLastError) {
    const struct {
        const char* path;
        DWORD error;
    } rows[] = {
        {"C:\\Data\\none.txt", ERROR_FILE_NOT_FOUND}, {"C:\\None\\file.txt", ERROR_PATH_NOT_FOUND},
        {"C:\\Data\\Sub", ERROR_ACCESS_DENIED},       {"C:\\Data\\ro.txt", ERROR_ACCESS_DENIED},
        {"E:\\Data\\file.txt", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(deleteFile(row.path));
        EXPECT_EQ(row.error, GetLastError());
    }
    control::setReadOnly("C:\\Data\\ro.txt", false);
    SetLastError(0xDEADBEEF);
    EXPECT_TRUE(deleteFile("C:\\Data\\ro.txt"));
    EXPECT_TRUE(deleteFile("\\??\\c:\\data\\FILE.TXT"));
    EXPECT_EQ(0xDEADBEEFu, GetLastError());
    EXPECT_FALSE(control::fileExists("C:\\Data\\file.txt"));
}

TEST_F(FilesDelete, OpenHandleWithoutShareDeleteRefusesWith32) {
    HANDLE h = openFile("C:\\Data\\file.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        OPEN_EXISTING);
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(deleteFile("C:\\Data\\file.txt"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    CloseHandle(h);
    EXPECT_TRUE(deleteFile("C:\\Data\\file.txt"));
}

TEST_F(FilesDelete, SharedDeleteLeavesTheFilePendingUntilTheLastHandleCloses) {
    HANDLE h = openFile("C:\\Data\\file.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
    EXPECT_TRUE(deleteFile("C:\\Data\\file.txt"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), attributesOf("C:\\Data\\file.txt"));
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              openFile("C:\\Data\\file.txt", GENERIC_READ, kShareAll, OPEN_EXISTING));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(deleteFile("C:\\Data\\file.txt"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    CloseHandle(h);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, attributesOf("C:\\Data\\file.txt"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(FilesDelete, AttributesOfFilesDirectoriesAndMissingPaths) {
    const struct {
        const char* path;
        DWORD attributes;
        DWORD error;
    } rows[] = {
        {"C:\\Data\\file.txt", FILE_ATTRIBUTE_ARCHIVE, 0xDEADBEEF},
        {"C:\\Data\\ro.txt", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, 0xDEADBEEF},
        {"c:\\data\\sub", FILE_ATTRIBUTE_DIRECTORY, 0xDEADBEEF},
        {"C:\\", FILE_ATTRIBUTE_DIRECTORY, 0xDEADBEEF},
        {"\\??\\C:\\Data\\file.txt", FILE_ATTRIBUTE_ARCHIVE, 0xDEADBEEF},
        {"C:\\Data\\none.txt", INVALID_FILE_ATTRIBUTES, ERROR_FILE_NOT_FOUND},
        {"C:\\None\\none.txt", INVALID_FILE_ATTRIBUTES, ERROR_PATH_NOT_FOUND},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(row.attributes, attributesOf(row.path));
        EXPECT_EQ(row.error, GetLastError());
    }
}

} // namespace
