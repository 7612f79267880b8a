#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <windows.h>

#include "support/machine_test.h"
#include "version_block.h"
#include "winsim/control.h"
#include "winsim/text.h"

namespace {

using winsim::control::UnversionedPe;
using VersionInfo = MachineTest;

// The machine's files for the table below.
void writeSampleFiles() {
    ASSERT_TRUE(winsim::control::writeVersionedPe("C:\\Windows\\System32\\Mon.dll", 3, 0, 0, 1500));
    ASSERT_TRUE(
        winsim::control::writeUnversionedPe("C:\\Files\\other.dll", UnversionedPe::otherResources));
    ASSERT_TRUE(
        winsim::control::writeUnversionedPe("C:\\Files\\bare.dll", UnversionedPe::noResources));
    ASSERT_TRUE(winsim::control::writeFile("C:\\Files\\readme.txt", "not an image"));
    std::string dll = winsim::control::readFile("C:\\Windows\\System32\\Mon.dll");
    ASSERT_TRUE(winsim::control::writeFile("C:\\Files\\cut.dll", dll.substr(0, 0x180)));
}

TEST_F(VersionInfo, SizeOfTheVersionInfoOrWhyThereIsNone) {
    struct Case {
        const char* path;
        DWORD size;
        DWORD error;
    };
    writeSampleFiles();
    // Twice the resource, and room for the signature.
    const DWORD versioned =
        DWORD(2 * winsim::buildVersionBlock({3, 0, 0, 1500}, {3, 0, 0, 1500}).size() + 4);
    const Case cases[] = {
        {"C:\\Windows\\System32\\Mon.dll", versioned, ERROR_SUCCESS},
        {"c:\\WINDOWS\\system32\\MON.DLL", versioned, ERROR_SUCCESS},
        {"C:/Windows/./Temp/../System32//Mon.dll", versioned, ERROR_SUCCESS},
        {"C:\\Windows\\System32\\missing.dll", 0, ERROR_FILE_NOT_FOUND},
        {"C:\\Missing\\Mon.dll", 0, ERROR_PATH_NOT_FOUND},
        {"C:\\Files\\readme.txt\\Mon.dll", 0, ERROR_PATH_NOT_FOUND},
        {"D:\\Mon.dll", 0, ERROR_PATH_NOT_FOUND},
        {"C:\\Files", 0, ERROR_ACCESS_DENIED},
        {"", 0, 161}, // ERROR_BAD_PATHNAME
        {"C:\\Files\\readme.txt", 0, ERROR_RESOURCE_DATA_NOT_FOUND},
        {"C:\\Files\\cut.dll", 0, ERROR_RESOURCE_DATA_NOT_FOUND},
        {"C:\\Files\\bare.dll", 0, ERROR_RESOURCE_DATA_NOT_FOUND},
        // Windows' type lookup fails; Wine 8 reports 1812 here as well.
        {"C:\\Files\\other.dll", 0, ERROR_RESOURCE_TYPE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        DWORD handle = 0xDEADBEEF;
        SetLastError(0xDEADBEEF);
        EXPECT_EQ(c.size, GetFileVersionInfoSizeW(W(c.path), &handle));
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ(0u, handle);
        if (c.size == 0) { // the copy fails the same way and leaves the buffer alone
            std::vector<uint8_t> block(64, 0xCC);
            SetLastError(0xDEADBEEF);
            EXPECT_FALSE(GetFileVersionInfoW(W(c.path), 0, 64, block.data()));
            EXPECT_EQ(c.error, GetLastError());
            EXPECT_EQ(std::vector<uint8_t>(64, 0xCC), block);
        }
    }
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(0u, GetFileVersionInfoSizeW(nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(GetFileVersionInfoW(W("C:\\Files\\bare.dll"), 0, 64, nullptr));
    EXPECT_EQ(13u, GetLastError()); // ERROR_INVALID_DATA
}

TEST_F(VersionInfo, CopiesTheResourceAndSignsItWhenThereIsRoom) {
    ASSERT_TRUE(winsim::control::writeVersionedPe("C:\\Mon.dll", 1, 0, 0, 2060));
    W path("C:\\Mon.dll");
    DWORD size = GetFileVersionInfoSizeW(path, nullptr);
    ASSERT_NE(0u, size);
    std::vector<uint8_t> block(size, 0xCC);
    SetLastError(0xDEADBEEF);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    size_t length = block[0] | block[1] << 8;
    EXPECT_EQ((size - 4) / 2, length);
    EXPECT_EQ("FE2X", std::string(block.begin() + length, block.begin() + length + 4));
    EXPECT_EQ(0xCC, block[length + 4]);

    // A short buffer takes what fits, and the call still succeeds.
    std::vector<uint8_t> small(24, 0xCC);
    SetLastError(0xDEADBEEF);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, 20, small.data()));
    EXPECT_TRUE(std::equal(small.begin(), small.begin() + 20, block.begin()));
    EXPECT_EQ(std::vector<uint8_t>(4, 0xCC), std::vector<uint8_t>(small.begin() + 20, small.end()));
}

// What the installer reads: the fixed info through the root sub-block, and its fourth
// product-version component as the build.
TEST_F(VersionInfo, RootSubBlockIsTheFixedInfoUnknownSubBlockFailsWith1813) {
    winsim::control::VersionedPeOptions options;
    options.fileVersion = {{9, 9, 9, 9}};
    ASSERT_TRUE(winsim::control::writeVersionedPe("C:\\Drv\\drv.dll", 3, 1, 4, 2044, options));
    W path("C:\\Drv\\drv.dll");
    std::vector<uint8_t> block(GetFileVersionInfoSizeW(path, nullptr));
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, DWORD(block.size()), block.data()));

    for (const char* root : {"\\", ""}) {
        SCOPED_TRACE(root);
        void* value = nullptr;
        UINT length = 0xDEADBEEF;
        SetLastError(0xDEADBEEF);
        ASSERT_TRUE(VerQueryValueW(block.data(), W(root), &value, &length));
        EXPECT_EQ(0xDEADBEEFu, GetLastError());
        EXPECT_EQ(block.data() + 40, value);
        EXPECT_EQ(52u, length);
        auto* info = static_cast<VS_FIXEDFILEINFO*>(value);
        EXPECT_EQ(VS_FFI_SIGNATURE, info->dwSignature);
        EXPECT_EQ(0x00030001u, info->dwProductVersionMS);
        EXPECT_EQ(0x000407FCu, info->dwProductVersionLS);
        EXPECT_EQ(0x00090009u, info->dwFileVersionMS);
        EXPECT_EQ(0x00090009u, info->dwFileVersionLS);
    }
    void* text = nullptr;
    UINT characters = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), W("\\StringFileInfo\\040904b0\\ProductVersion"), &text,
                               &characters));
    EXPECT_EQ("3.1.4.2044", winsim::toUtf8(static_cast<const WCHAR*>(text)));
    EXPECT_EQ(11u, characters);

    void* value = &block;
    UINT length = 0xDEADBEEF;
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(VerQueryValueW(block.data(), W("\\StringFileInfo\\0407"), &value, &length));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
    EXPECT_EQ(&block, value);
    EXPECT_EQ(0u, length); // Windows clears the length, not the pointer
    SetLastError(0xDEADBEEF);
    length = 0xDEADBEEF;
    EXPECT_FALSE(VerQueryValueW(nullptr, W("\\"), &value, &length));
    EXPECT_EQ(0xDEADBEEFu, GetLastError());
    EXPECT_EQ(0xDEADBEEFu, length);
}

TEST_F(VersionInfo, StandInsReplaceFilesOfAnyCaseAndStayOnDriveC) {
    ASSERT_TRUE(winsim::control::writeFile("C:\\Windows\\System32\\MON.DLL", "old"));
    ASSERT_TRUE(winsim::control::writeVersionedPe("C:\\windows\\system32\\mon.dll", 1, 0, 0, 7));
    std::filesystem::path host = winsim::control::hostPathOf("C:\\Windows\\System32\\Mon.dll");
    EXPECT_EQ("MON.DLL", host.filename().string());
    EXPECT_FALSE(std::filesystem::exists(host.parent_path() / "mon.dll"));
    EXPECT_NE(0u, GetFileVersionInfoSizeW(W("C:\\Windows\\System32\\Mon.dll"), nullptr));
    EXPECT_FALSE(winsim::control::writeVersionedPe("D:\\mon.dll", 1, 0, 0, 7));
    EXPECT_FALSE(winsim::control::writeUnversionedPe("C:\\", UnversionedPe::noResources));
}

// The installer reads the build of the monitor DLL while the spooler has it loaded: the
// loader's hold lets readers in. A failing medium fails the call with the read's error.
TEST_F(VersionInfo, HeldFilesStayReadableAndReadFaultsFail) {
    ASSERT_TRUE(winsim::control::writeVersionedPe("C:\\Windows\\System32\\mon.dll", 1, 0, 0, 2060));
    winsim::control::holdFileBySpooler("C:\\Windows\\System32\\mon.dll", true);
    SetLastError(0xDEADBEEF);
    EXPECT_NE(0u, GetFileVersionInfoSizeW(W("C:\\Windows\\System32\\mon.dll"), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    winsim::control::releaseFileHolds("spooler");

    winsim::control::failReadsAfter("C:\\Windows\\System32\\mon.dll", 100, ERROR_CRC);
    DWORD handle = 0xDEADBEEF;
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(0u, GetFileVersionInfoSizeW(W("C:\\Windows\\System32\\mon.dll"), &handle));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CRC), GetLastError());
    EXPECT_EQ(0u, handle);
}

} // namespace
