#include <windows.h>

#include <cstring>
#include <string>

#include "support/machine_test.h"
#include "machine.h"
#include "winsim/text.h"

namespace {

using KernelSystemInfo = MachineTest;

const char kProgram[] = "C:\\Program Files\\Folioscope\\folioinst.exe"; // 41 characters

TEST_F(KernelSystemInfo, ModuleFileNameFitsOrIsCutWith122) {
    struct Row {
        DWORD size;
        DWORD result;
        DWORD error;
        std::string text;
    };
    const std::string path = kProgram;
    const Row rows[] = {
        {260, 41, 0xDEADBEEF, path},
        {42, 41, 0xDEADBEEF, path},
        {41, 41, ERROR_INSUFFICIENT_BUFFER, path.substr(0, 40)},
        {3, 3, ERROR_INSUFFICIENT_BUFFER, "C:"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        WCHAR buffer[260];
        std::memset(buffer, 0xEE, sizeof buffer);
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(row.result, GetModuleFileNameW(nullptr, buffer, row.size));
        EXPECT_EQ(row.error, GetLastError());
        EXPECT_EQ(row.text, winsim::toUtf8(buffer));
    }
}

TEST_F(KernelSystemInfo, ModuleFileNameFollowsTheMachineSettings) {
    winsim::machine().settings.programPath = "D:\\x.exe";
    WCHAR buffer[MAX_PATH];
    EXPECT_EQ(8u, GetModuleFileNameW(nullptr, buffer, MAX_PATH));
    EXPECT_EQ("D:\\x.exe", winsim::toUtf8(buffer));
}

TEST_F(KernelSystemInfo, ModuleFileNameWithZeroSizeFails) {
    WCHAR buffer[1] = {'x'};
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(0u, GetModuleFileNameW(nullptr, buffer, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ('x', buffer[0]);
}

TEST_F(KernelSystemInfo, SystemDirectoryOrTheSizeItNeeds) {
    WCHAR buffer[MAX_PATH];
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(19u, GetSystemDirectoryW(buffer, MAX_PATH));
    EXPECT_EQ("C:\\Windows\\system32", winsim::toUtf8(buffer));
    EXPECT_EQ(19u, GetSystemDirectoryW(buffer, 20));

    buffer[0] = 'x';
    EXPECT_EQ(20u, GetSystemDirectoryW(buffer, 19));
    EXPECT_EQ(20u, GetSystemDirectoryW(nullptr, 0));
    EXPECT_EQ('x', buffer[0]);
    EXPECT_EQ(0xDEADBEEFu, GetLastError());
}

TEST_F(KernelSystemInfo, VersionOfAManifestLessProgram) {
    OSVERSIONINFOA info;
    std::memset(&info, 0xEE, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    SetLastError(0xDEADBEEF);
    ASSERT_TRUE(GetVersionExA(&info));
    EXPECT_EQ(6u, info.dwMajorVersion);
    EXPECT_EQ(2u, info.dwMinorVersion);
    EXPECT_EQ(9200u, info.dwBuildNumber);
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), info.dwPlatformId);
    EXPECT_STREQ("", info.szCSDVersion);
    EXPECT_EQ(0xDEADBEEFu, GetLastError());
}

TEST_F(KernelSystemInfo, ExtendedVersionStructureIsFilledToo) {
    OSVERSIONINFOEXA info;
    std::memset(&info, 0xEE, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info)));
    EXPECT_EQ(6u, info.dwMajorVersion);
    EXPECT_EQ(0u, info.wServicePackMajor);
    EXPECT_EQ(VER_NT_WORKSTATION, info.wProductType);
}

TEST_F(KernelSystemInfo, VersionWithWrongSizeFieldFailsWith122) {
    for (DWORD size : {0u, 10u, 147u, 149u, 276u}) {
        SCOPED_TRACE(size);
        OSVERSIONINFOA info;
        std::memset(&info, 0xEE, sizeof info);
        info.dwOSVersionInfoSize = size;
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(GetVersionExA(&info));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        EXPECT_EQ(0xEEEEEEEEu, info.dwMajorVersion);
    }
}

TEST_F(KernelSystemInfo, NoWindowExistsYet) {
    EXPECT_FALSE(IsWindow(nullptr));
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(0x10010)));
}

} // namespace
