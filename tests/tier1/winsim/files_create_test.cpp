#include <windows.h>

#include "files_test_support.h"
#include "support/machine_test.h"
#include "machine.h"

namespace {

namespace control = winsim::control;

class FilesCreate : public MachineTest {
  protected:
    void SetUp() override {
        MachineTest::SetUp();
        writeDataFiles();
    }
};

struct OpenRow {
    const char* name;
    const char* path;
    DWORD access;
    DWORD disposition;
    DWORD error; // last error after the call; 0 and 183 come with a valid handle
};

const DWORD R = GENERIC_READ;
const DWORD W = GENERIC_WRITE;

const OpenRow kOpens[] = {
    {"open existing", "C:\\Data\\file.txt", R, OPEN_EXISTING, 0},
    {"open missing file", "C:\\Data\\none.txt", R, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
    {"open in missing directory", "C:\\None\\file.txt", R, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
    {"create in missing directory", "C:\\None\\new.txt", W, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
    {"file used as a directory", "C:\\Data\\file.txt\\x", R, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
    {"create new over existing", "C:\\Data\\file.txt", W, CREATE_NEW, ERROR_FILE_EXISTS},
    {"create new", "C:\\Data\\new.txt", W, CREATE_NEW, 0},
    {"create always over existing", "C:\\Data\\file.txt", W, CREATE_ALWAYS, ERROR_ALREADY_EXISTS},
    {"create always new", "C:\\Data\\new.txt", W, CREATE_ALWAYS, 0},
    {"open always existing", "C:\\Data\\file.txt", R, OPEN_ALWAYS, ERROR_ALREADY_EXISTS},
    {"open always new", "C:\\Data\\new.txt", R, OPEN_ALWAYS, 0},
    {"truncate existing", "C:\\Data\\file.txt", W, TRUNCATE_EXISTING, 0},
    {"truncate missing", "C:\\Data\\none.txt", W, TRUNCATE_EXISTING, ERROR_FILE_NOT_FOUND},
    {"directory", "C:\\Data\\Sub", R, OPEN_EXISTING, ERROR_ACCESS_DENIED},
    {"read-only file for writing", "C:\\Data\\ro.txt", W, OPEN_EXISTING, ERROR_ACCESS_DENIED},
    {"read-only file overwritten", "C:\\Data\\ro.txt", R, CREATE_ALWAYS, ERROR_ACCESS_DENIED},
    {"read-only file for reading", "C:\\Data\\ro.txt", R, OPEN_EXISTING, 0},
    {"other drive", "D:\\Data\\file.txt", R, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
    {"relative path", "Data\\file.txt", R, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
    {"wildcard in name", "C:\\Data\\*.txt", R, OPEN_EXISTING, ERROR_INVALID_NAME},
    {"unknown disposition", "C:\\Data\\file.txt", R, 6, ERROR_INVALID_PARAMETER},
};

TEST_F(FilesCreate, ResultAndLastErrorOfEachDisposition) {
    for (const OpenRow& row : kOpens) {
        SCOPED_TRACE(row.name);
        SetLastError(0xDEADBEEF);
        HANDLE h = openFile(row.path, row.access, FILE_SHARE_READ, row.disposition);
        EXPECT_EQ(row.error, GetLastError());
        const bool opened = row.error == 0 || row.error == ERROR_ALREADY_EXISTS;
        if (opened) {
            ASSERT_NE(INVALID_HANDLE_VALUE, h);
            EXPECT_TRUE(CloseHandle(h));
        } else {
            EXPECT_EQ(INVALID_HANDLE_VALUE, h);
        }
        control::writeFile("C:\\Data\\file.txt", "hello");
        deleteFile("C:\\Data\\new.txt");
    }
}

TEST_F(FilesCreate, OverwriteKeepsTheFoundNameNewFileTheGivenCase) {
    for (const char* path : {"c:\\data\\FILE.txt", "C:\\data\\NewName.Txt"}) {
        HANDLE h = openFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        CloseHandle(h);
    }
    EXPECT_EQ("", control::readFile("C:\\Data\\file.txt"));
    EXPECT_EQ(winsim::machine().hostDir + "/drive_c/Data/file.txt",
              control::hostPathOf("C:\\DATA\\FILE.TXT"));
    EXPECT_EQ(winsim::machine().hostDir + "/drive_c/Data/NewName.Txt",
              control::hostPathOf("C:\\DATA\\NEWNAME.TXT"));
}

// One existing handle, then a second open: the share rule checked in both directions.
struct ShareRow {
    const char* name;
    DWORD firstAccess, firstShare;
    DWORD secondAccess, secondShare, secondDisposition;
    DWORD error;
};

const ShareRow kShares[] = {
    {"writer, reader not sharing write", W, FILE_SHARE_READ, R, FILE_SHARE_READ, OPEN_EXISTING,
     ERROR_SHARING_VIOLATION},
    {"writer, reader sharing write", W, FILE_SHARE_READ, R, FILE_SHARE_READ | FILE_SHARE_WRITE,
     OPEN_EXISTING, 0},
    {"reader, overwriting writer", R, FILE_SHARE_READ, W, FILE_SHARE_READ, CREATE_ALWAYS,
     ERROR_SHARING_VIOLATION},
    {"reader, reader", R, FILE_SHARE_READ, R, FILE_SHARE_READ, OPEN_EXISTING, 0},
    {"reader sharing all, writer", R, kShareAll, W, kShareAll, OPEN_EXISTING, 0},
    {"exclusive reader, reader", R, 0, R, kShareAll, OPEN_EXISTING, ERROR_SHARING_VIOLATION},
    {"deleter, reader not sharing delete", DELETE, kShareAll, R, FILE_SHARE_READ, OPEN_EXISTING,
     ERROR_SHARING_VIOLATION},
    {"exclusive reader, attributes only", R, 0, 0, 0, OPEN_EXISTING, 0},
};

TEST_F(FilesCreate, ShareModesOfEveryOpenHandleBothWays) {
    for (const ShareRow& row : kShares) {
        SCOPED_TRACE(row.name);
        HANDLE first =
            openFile("C:\\Data\\file.txt", row.firstAccess, row.firstShare, OPEN_EXISTING);
        ASSERT_NE(INVALID_HANDLE_VALUE, first);
        SetLastError(0xDEADBEEF);
        HANDLE second = openFile("C:\\DATA\\file.txt", row.secondAccess, row.secondShare,
                                 row.secondDisposition);
        if (row.error) {
            EXPECT_EQ(INVALID_HANDLE_VALUE, second);
            EXPECT_EQ(row.error, GetLastError());
        } else {
            EXPECT_NE(INVALID_HANDLE_VALUE, second);
            CloseHandle(second);
        }
        CloseHandle(first);
    }
}

TEST_F(FilesCreate, NewReadOnlyFileCanBeWrittenThroughItsOwnHandle) {
    const std::u16string path = winsim::toUtf16("C:\\Data\\made-ro.txt");
    HANDLE h = CreateFileW(winsim::wz(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "x", 1, &written, nullptr));
    CloseHandle(h);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
              attributesOf("C:\\Data\\made-ro.txt"));
    control::setReadOnly("C:\\Data\\made-ro.txt", false);
}

TEST_F(FilesCreate, FreshMachineHasTheWindowsAndProductDirectories) {
    for (const char* dir :
         {"C:\\Windows\\system32", "C:\\Windows\\System32\\spool\\drivers\\x64\\3",
          "C:\\Program Files\\Folioscope"}) {
        EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), attributesOf(dir)) << dir;
    }
}

} // namespace
