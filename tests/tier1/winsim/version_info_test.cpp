#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <windows.h>

#include "kernel_test_fixture.h"
#include "version_block.h"
#include "winsim/control.h"
#include "winsim/text.h"

namespace {

using winsim::control::UnversionedPe;
using VersionInfo = MachineTest;

std::u16string w(const std::string& utf8) {
    return winsim::toUtf16(utf8);
}

std::filesystem::path driveC() {
    return std::filesystem::path(winsim::machine().hostDir) / "drive_c";
}

void writeHostFile(const std::string& relative, const std::string& content) {
    std::filesystem::create_directories((driveC() / relative).parent_path());
    std::ofstream(driveC() / relative, std::ios::binary) << content;
}

std::vector<uint8_t> hostFile(const std::string& relative) {
    std::ifstream in(driveC() / relative, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The machine's files for the table below.
void writeSampleFiles() {
    ASSERT_TRUE(winsim::control::writeVersionedPe("C:\\Windows\\System32\\Mon.dll", 3, 0, 0, 1500));
    ASSERT_TRUE(
        winsim::control::writeUnversionedPe("C:\\Files\\other.dll", UnversionedPe::otherResources));
    ASSERT_TRUE(
        winsim::control::writeUnversionedPe("C:\\Files\\bare.dll", UnversionedPe::noResources));
    writeHostFile("Files/readme.txt", "not an image");
    std::vector<uint8_t> dll = hostFile("Windows/System32/Mon.dll");
    writeHostFile("Files/cut.dll", std::string(dll.begin(), dll.begin() + 0x180));
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
        EXPECT_EQ(c.size, GetFileVersionInfoSizeW(winsim::wz(w(c.path)), &handle));
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ(0u, handle);
    }
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(0u, GetFileVersionInfoSizeW(nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(VersionInfo, CopiesTheResourceAndSignsItWhenThereIsRoom) {
    ASSERT_TRUE(winsim::control::writeVersionedPe("C:\\Mon.dll", 1, 0, 0, 2060));
    std::u16string path = w("C:\\Mon.dll");
    DWORD size = GetFileVersionInfoSizeW(winsim::wz(path), nullptr);
    ASSERT_NE(0u, size);
    std::vector<uint8_t> block(size, 0xCC);
    SetLastError(0xDEADBEEF);
    ASSERT_TRUE(GetFileVersionInfoW(winsim::wz(path), 0, size, block.data()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    size_t length = block[0] | block[1] << 8;
    EXPECT_EQ((size - 4) / 2, length);
    EXPECT_EQ("FE2X", std::string(block.begin() + length, block.begin() + length + 4));
    EXPECT_EQ(0xCC, block[length + 4]);

    // A short buffer takes what fits, and the call still succeeds.
    std::vector<uint8_t> small(24, 0xCC);
    SetLastError(0xDEADBEEF);
    ASSERT_TRUE(GetFileVersionInfoW(winsim::wz(path), 0, 20, small.data()));
    EXPECT_TRUE(std::equal(small.begin(), small.begin() + 20, block.begin()));
    EXPECT_EQ(std::vector<uint8_t>(4, 0xCC), std::vector<uint8_t>(small.begin() + 20, small.end()));
}

TEST_F(VersionInfo, CopyFailsWithTheSizeCallsErrors) {
    ASSERT_TRUE(winsim::control::writeUnversionedPe("C:\\bare.dll", UnversionedPe::noResources));
    struct Case {
        const char* path;
        DWORD error;
    };
    const Case cases[] = {{"C:\\missing.dll", ERROR_FILE_NOT_FOUND},
                          {"C:\\bare.dll", ERROR_RESOURCE_DATA_NOT_FOUND}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::vector<uint8_t> block(64, 0xCC);
        SetLastError(0xDEADBEEF);
        EXPECT_FALSE(GetFileVersionInfoW(winsim::wz(w(c.path)), 0, 64, block.data()));
        EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ(std::vector<uint8_t>(64, 0xCC), block);
    }
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(GetFileVersionInfoW(winsim::wz(w("C:\\bare.dll")), 0, 64, nullptr));
    EXPECT_EQ(13u, GetLastError()); // ERROR_INVALID_DATA
}

// What the installer reads: the fixed info through the root sub-block, and its fourth
// product-version component as the build.
TEST_F(VersionInfo, RootSubBlockIsTheFixedInfo) {
    winsim::control::VersionedPeOptions options;
    options.fileVersion = {{9, 9, 9, 9}};
    ASSERT_TRUE(winsim::control::writeVersionedPe("C:\\Drv\\drv.dll", 3, 1, 4, 2044, options));
    std::u16string path = w("C:\\Drv\\drv.dll");
    std::vector<uint8_t> block(GetFileVersionInfoSizeW(winsim::wz(path), nullptr));
    ASSERT_TRUE(GetFileVersionInfoW(winsim::wz(path), 0, DWORD(block.size()), block.data()));

    for (const char* root : {"\\", ""}) {
        SCOPED_TRACE(root);
        void* value = nullptr;
        UINT length = 0xDEADBEEF;
        SetLastError(0xDEADBEEF);
        ASSERT_TRUE(VerQueryValueW(block.data(), winsim::wz(w(root)), &value, &length));
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
    ASSERT_TRUE(VerQueryValueW(block.data(),
                               winsim::wz(w("\\StringFileInfo\\040904b0\\ProductVersion")), &text,
                               &characters));
    EXPECT_EQ("3.1.4.2044", winsim::toUtf8(static_cast<const WCHAR*>(text)));
    EXPECT_EQ(11u, characters);
}

TEST_F(VersionInfo, UnknownSubBlockFailsWith1813) {
    ASSERT_TRUE(winsim::control::writeVersionedPe("C:\\Mon.dll", 1, 0, 0, 1));
    std::u16string path = w("C:\\Mon.dll");
    std::vector<uint8_t> block(GetFileVersionInfoSizeW(winsim::wz(path), nullptr));
    ASSERT_TRUE(GetFileVersionInfoW(winsim::wz(path), 0, DWORD(block.size()), block.data()));
    void* value = &block;
    UINT length = 0xDEADBEEF;
    SetLastError(0xDEADBEEF);
    EXPECT_FALSE(
        VerQueryValueW(block.data(), winsim::wz(w("\\StringFileInfo\\0407")), &value, &length));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
    EXPECT_EQ(&block, value);
    EXPECT_EQ(0u, length); // Windows clears the length, not the pointer

    SetLastError(0xDEADBEEF);
    length = 0xDEADBEEF;
    EXPECT_FALSE(VerQueryValueW(nullptr, winsim::wz(w("\\")), &value, &length));
    EXPECT_EQ(0xDEADBEEFu, GetLastError());
    EXPECT_EQ(0xDEADBEEFu, length);
}

TEST_F(VersionInfo, StandInsReplaceFilesOfAnyCaseAndStayOnDriveC) {
    writeHostFile("Windows/System32/MON.DLL", "old");
    ASSERT_TRUE(winsim::control::writeVersionedPe("C:\\windows\\system32\\mon.dll", 1, 0, 0, 7));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(driveC() / "Windows/System32")) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(std::vector<std::string>{"MON.DLL"}, names);
    EXPECT_NE(0u,
              GetFileVersionInfoSizeW(winsim::wz(w("C:\\Windows\\System32\\Mon.dll")), nullptr));
    EXPECT_FALSE(winsim::control::writeVersionedPe("D:\\mon.dll", 1, 0, 0, 7));
    EXPECT_FALSE(winsim::control::writeUnversionedPe("C:\\", UnversionedPe::noResources));
}

} // namespace
