#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "built_exe.h"
#include "version_block.h"
#include "winsim/text.h"

namespace {

using namespace winsim::pe;
using ExeImage = BuiltExeTest;

TEST_F(ExeImage, IsAnX64GuiProgram) {
    EXPECT_EQ(kMachineAmd64, exe().image.machine);
    EXPECT_EQ(kMagicPe32Plus, exe().image.magic);
    EXPECT_EQ(kSubsystemWindowsGui, exe().image.subsystem);
    EXPECT_EQ(0, exe().image.characteristics & 0x2000) << "built as a DLL";
}

// Windows takes a KnownDLL from the system directory whatever folder the program runs from;
// any other import (winspool.drv, version.dll, a compiler runtime DLL) would be looked for in
// the elevated program's own folder first, where it could be planted.
TEST_F(ExeImage, ImportsOnlyKnownDlls) {
    const std::vector<std::string> known = {"kernel32.dll", "user32.dll",   "gdi32.dll",
                                            "advapi32.dll", "shell32.dll",  "msvcrt.dll",
                                            "ole32.dll",    "oleaut32.dll", "shlwapi.dll"};
    std::vector<std::string> imports;
    ASSERT_TRUE(importedDlls(exe().view(), exe().image, &imports));
    bool kernel32 = false;
    for (const std::string& dll : imports) {
        std::string name = winsim::foldCase(dll);
        kernel32 = kernel32 || name == "kernel32.dll";
        EXPECT_NE(known.end(), std::find(known.begin(), known.end(), name))
            << dll << " is not a KnownDLL";
    }
    EXPECT_TRUE(kernel32) << "the import table was not read";
}

// The setup that carries the installer has room for 128 KiB; the build links stripped.
TEST_F(ExeImage, FitsIn128KiB) {
    EXPECT_LE(exe().bytes.size(), 128u * 1024);
}

// The fixed part of the version resource, where Windows and the installer's version calls
// read a file's build.
TEST_F(ExeImage, CarriesBuild2060) {
    const std::vector<uint8_t> block = resource(kTypeVersion, 1, 1033);
    winsim::VersionValue value;
    ASSERT_TRUE(winsim::findVersionValue(ByteView(block), u"\\", &value));
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), value.length);
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, block.data() + value.offset, sizeof info);
    EXPECT_EQ(VS_FFI_SIGNATURE, info.dwSignature);
    EXPECT_EQ(2060u, info.dwProductVersionLS & 0xFFFF);
    EXPECT_EQ(2060u, info.dwFileVersionLS & 0xFFFF);
}

} // namespace
