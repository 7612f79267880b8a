#include <windows.h>

#include <cstring>
#include <string>

#include "support/machine_test.h"
#include "machine.h"
#include "winsim/text.h"

namespace {

using KernelSystemInfo = MachineTest;

TEST_F(KernelSystemInfo, ModuleFileNameFitsOrIsCutWith122) {
    const std::string path = "C:\\Program Files\\Folioscope\\folioinst.exe"; // 41 characters
    const struct {
        DWORD size;
        DWORD result;
        DWORD error;
        std::string text;
    } rows[] = {
        {42, 41, 0xDEADBEEF, path},
        {41, 41, ERROR_INSUFFICIENT_BUFFER, path.substr(0, 40)},
        {3, 3, ERROR_INSUFFICIENT_BUFFER, "C:"},
        {0, 0, ERROR_INSUFFICIENT_BUFFER, "x"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.size);
        WCHAR buffer[64] = {'x'};
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(row.result, GetModuleFileNameW(nullptr, buffer, row.size));
        EXPECT_EQ(row.error, GetLastError());
        EXPECT_EQ(row.text, winsim::toUtf8(buffer));
    }
}

TEST_F(KernelSystemInfo, SystemDirectoryOrTheSizeItNeeds) {
    WCHAR buffer[MAX_PATH];
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(19u, GetSystemDirectoryW(buffer, 20));
    EXPECT_EQ("C:\\Windows\\system32", winsim::toUtf8(buffer));

    buffer[0] = 'x';
    EXPECT_EQ(20u, GetSystemDirectoryW(buffer, 19));
    EXPECT_EQ(20u, GetSystemDirectoryW(nullptr, 0));
    EXPECT_EQ('x', buffer[0]);
    EXPECT_EQ(0xDEADBEEFu, GetLastError());
}

TEST_F(KernelSystemInfo, VersionOfAManifestLessProgramOr122ForAWrongSize) {
    for (DWORD size : {0u, 147u, 149u, 276u, DWORD(sizeof(OSVERSIONINFOA))}) {
        SCOPED_TRACE(size);
        OSVERSIONINFOA info;
        std::memset(&info, 0xEE, sizeof info);
        info.dwOSVersionInfoSize = size;
        SetLastError(0xDEADBEEF);
        const bool good = size == sizeof info;
        EXPECT_EQ(good, GetVersionExA(&info) != FALSE);
        EXPECT_EQ(good ? 0xDEADBEEFu : DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        EXPECT_EQ(good ? 6u : 0xEEEEEEEEu, info.dwMajorVersion);
        if (good) {
            EXPECT_EQ(2u, info.dwMinorVersion);
            EXPECT_EQ(9200u, info.dwBuildNumber);
            EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), info.dwPlatformId);
            EXPECT_STREQ("", info.szCSDVersion);
        }
    }
}

} // namespace
