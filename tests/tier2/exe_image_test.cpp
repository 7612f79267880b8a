#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "built_exe.h"
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

// The runtime is linked in: a DLL of the compiler's runtime (libstdc++, libgcc,
// winpthread) would be missing on the user's Windows.
TEST_F(ExeImage, ImportsOnlyWindowsSystemDlls) {
    const std::vector<std::string> system = {
        "kernel32.dll", "user32.dll",   "gdi32.dll",   "advapi32.dll", "shell32.dll",
        "comctl32.dll", "winspool.drv", "version.dll", "msvcrt.dll",   "ntdll.dll"};
    std::vector<std::string> imports;
    ASSERT_TRUE(importedDlls(exe().view(), exe().image, &imports));
    bool kernel32 = false;
    for (const std::string& dll : imports) {
        std::string name = winsim::foldCase(dll);
        kernel32 = kernel32 || name == "kernel32.dll";
        bool known = name.rfind("api-ms-win-", 0) == 0;
        for (const std::string& allowed : system) {
            known = known || name == allowed;
        }
        EXPECT_TRUE(known) << dll << " is not a Windows system DLL";
    }
    EXPECT_TRUE(kernel32) << "the import table was not read";
}

} // namespace
