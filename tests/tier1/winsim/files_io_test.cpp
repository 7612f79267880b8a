#include <windows.h>

#include <string>

#include "files_test_support.h"
#include "support/machine_test.h"
#include "machine.h"

namespace {

namespace control = winsim::control;

using FilesIo = MachineTest;

const char kPath[] = "C:\\Data\\file.bin";

TEST_F(FilesIo, WrittenBytesReadBackInBlocksUntilEndOfFile) {
    control::makeDirectory("C:\\Data");
    HANDLE out = openFile(kPath, GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(INVALID_HANDLE_VALUE, out);
    const std::string data(10000, 'z');
    DWORD written = 0xDEADBEEF;
    EXPECT_TRUE(WriteFile(out, data.data(), 10000, &written, nullptr));
    EXPECT_EQ(10000u, written);
    CloseHandle(out);

    HANDLE in = openFile(kPath, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    char buffer[8192];
    const DWORD expected[] = {8192, 10000 - 8192, 0, 0};
    for (DWORD n : expected) {
        DWORD read = 0xDEADBEEF;
        SetLastError(0xDEADBEEF);
        EXPECT_TRUE(ReadFile(in, buffer, sizeof buffer, &read, nullptr));
        EXPECT_EQ(n, read);
        EXPECT_EQ(0xDEADBEEFu, GetLastError());
    }
    CloseHandle(in);
    EXPECT_EQ(data, control::readFile(kPath));
}

TEST_F(FilesIo, HandleWithoutTheRightAccessIsRefused) {
    control::writeFile(kPath, "abc");
    HANDLE reader =
        openFile(kPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    HANDLE writer =
        openFile(kPath, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    char buffer[4];
    DWORD count = 0xDEADBEEF;
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(WriteFile(reader, "x", 1, &count, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(0u, count);
    count = 0xDEADBEEF;
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(ReadFile(writer, buffer, 4, &count, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(0u, count);
    CloseHandle(reader);
    CloseHandle(writer);
    EXPECT_EQ("abc", control::readFile(kPath));
}

TEST_F(FilesIo, HandlesThatAreNotOpenFilesFailWithInvalidHandle) {
    control::writeFile(kPath, "abc");
    HANDLE closed = openFile(kPath, GENERIC_READ, 0, OPEN_EXISTING);
    ASSERT_TRUE(CloseHandle(closed));
    for (HANDLE h : {INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr), closed}) {
        char buffer[4];
        DWORD count = 0xDEADBEEF;
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(ReadFile(h, buffer, 4, &count, nullptr));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
        EXPECT_EQ(0u, count);
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(WriteFile(h, "x", 1, &count, nullptr));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(CloseHandle(h));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    }
}

TEST_F(FilesIo, FullDiskRefusesAWriteThatDoesNotFitAndWritesNothing) {
    control::makeDirectory("C:\\Data");
    control::setDiskFreeBytes(10);
    HANDLE out = openFile(kPath, GENERIC_WRITE, 0, CREATE_ALWAYS);
    DWORD written = 0xDEADBEEF;
    EXPECT_TRUE(WriteFile(out, "12345678", 8, &written, nullptr));
    EXPECT_EQ(8u, written);
    written = 0xDEADBEEF;
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(WriteFile(out, "12345678", 8, &written, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), GetLastError());
    EXPECT_EQ(0u, written);
    EXPECT_TRUE(WriteFile(out, "12", 2, &written, nullptr));
    CloseHandle(out);
    EXPECT_EQ("1234567812", control::readFile(kPath));

    // Overwriting and deleting give the space back.
    for (bool remove : {false, true}) {
        EXPECT_TRUE(!remove || deleteFile(kPath));
        out = openFile(kPath, GENERIC_WRITE, 0, CREATE_ALWAYS);
        EXPECT_TRUE(WriteFile(out, "abcdefghij", 10, &written, nullptr)) << remove;
        CloseHandle(out);
    }
}

TEST_F(FilesIo, ReadFaultStopsReadsReachingPastTheBadSpot) {
    for (DWORD error : {static_cast<DWORD>(ERROR_CRC), static_cast<DWORD>(ERROR_READ_FAULT)}) {
        SCOPED_TRACE(error);
        control::writeFile(kPath, std::string(20000, 'r'));
        control::failReadsAfter(kPath, 10000, error);
        HANDLE in = openFile(kPath, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        char buffer[8192];
        DWORD read = 0;
        EXPECT_TRUE(ReadFile(in, buffer, sizeof buffer, &read, nullptr));
        EXPECT_EQ(8192u, read);
        read = 0xDEADBEEF;
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(ReadFile(in, buffer, sizeof buffer, &read, nullptr));
        EXPECT_EQ(error, GetLastError());
        EXPECT_EQ(0u, read);
        CloseHandle(in);
    }
}

} // namespace
