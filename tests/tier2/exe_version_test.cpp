#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <windows.h>

#include "built_exe.h"
#include "winsim/control.h"
#include "winsim/text.h"

namespace {

using ExeVersion = BuiltExeTest;

// The simulated machine's version calls read the real program as they read the stand-ins:
// the exe is put on a machine's drive C: and asked for its build, as the installer asks.
TEST_F(ExeVersion, ProgramCarriesBuild2060) {
    std::string machineDir = (std::filesystem::temp_directory_path() / "folio-exe-XXXXXX").string();
    ASSERT_NE(nullptr, mkdtemp(&machineDir[0]));
    winsim::control::freshMachine(machineDir);
    const char* const windowsPath = "C:\\Program Files\\Folioscope\\folioinst.exe";
    ASSERT_TRUE(winsim::control::writeFile(windowsPath,
                                           std::string(exe().bytes.begin(), exe().bytes.end())));

    std::u16string path = winsim::toUtf16(windowsPath);
    std::vector<uint8_t> block(GetFileVersionInfoSizeW(winsim::wz(path), nullptr));
    ASSERT_FALSE(block.empty()) << "no version resource, error " << GetLastError();
    ASSERT_TRUE(GetFileVersionInfoW(winsim::wz(path), 0, DWORD(block.size()), block.data()));
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), winsim::wz(u"\\"), &value, &length));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(VS_FFI_SIGNATURE, info->dwSignature);
    EXPECT_EQ(2060u, info->dwProductVersionLS & 0xFFFF);
    EXPECT_EQ(2060u, info->dwFileVersionLS & 0xFFFF);
    std::filesystem::remove_all(machineDir);
}

} // namespace
