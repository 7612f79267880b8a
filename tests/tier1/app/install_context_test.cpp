#include "support/machine_test.h"

#include <string>

#include "app/install_context.h"
#include "log/wide_text.h"
#include "winsim/control.h"

namespace {

using InstallContextSetUp = MachineTest;

std::string utf8(WideText text) {
    return u8(textOf(text));
}

// The fixed file names are pinned by the copy and driver logs.
TEST_F(InstallContextSetUp, StartsTheLogAndSelectsThe64BitPlatform) {
    WCHAR system[MAX_PATH];
    ASSERT_NE(0u, GetSystemDirectoryW(system, MAX_PATH));
    InstallContext context;
    EXPECT_EQ(0u, utf8(context.logText).rfind("Folioscope 2060\r\n", 0)) << utf8(context.logText);
    EXPECT_EQ(0, context.errorCount);
    EXPECT_EQ("Windows x64", u8(context.environment));
    EXPECT_EQ(u8(system) + "\\", utf8(context.systemDir));
    EXPECT_FALSE(context.reinstall);
    EXPECT_TRUE(context.InstallMonitor);
    EXPECT_TRUE(context.CopyMonitor);
}

TEST_F(InstallContextSetUp, ProgramDirKeepsItsTrailingSeparator) {
    const std::string longest = "C:\\" + std::string(250, 'a') + "\\x.exe";
    const std::string tooLong = "C:\\" + std::string(251, 'a') + "\\x.exe";
    const struct {
        const char* programPath;
        std::string expected;
    } rows[] = {
        {"E:\\Setup\\inst.exe", "E:\\Setup\\"},
        {"D:inst.exe", "D:"},
        {"inst.exe", ""},
        {"C:\\Program Files\\Folioscope\\folioinst.exe", "C:\\Program Files\\Folioscope\\"},
        {"\\\\server\\share/setup/inst.exe", "\\\\server\\share/setup/"},
        {"C:\\Setup\\sub:stream", "C:\\Setup\\sub:"},
        {longest.c_str(), longest.substr(0, longest.size() - 5)},
        // 260 characters do not fit the buffer with their NUL: a cut name names no directory.
        {tooLong.c_str(), ""},
    };
    for (const auto& row : rows) {
        winsim::control::setProgramPath(row.programPath);
        InstallContext context;
        EXPECT_EQ(row.expected, utf8(context.programDir)) << row.programPath;
        EXPECT_EQ(0, context.errorCount);
    }
}

TEST_F(InstallContextSetUp, ReleaseFreesTheGlobalArraysItOwns) {
    {
        InstallContext context;
        context.printers.printers = static_cast<_PRINTER_INFO_2W*>(GlobalAlloc(GPTR, 64));
        context.printers.count = 1;
        context.parkedPrinters = static_cast<_PRINTER_INFO_2W**>(GlobalAlloc(GPTR, 16));
        ASSERT_NE(nullptr, context.printers.printers);
        ASSERT_NE(nullptr, context.parkedPrinters);
        EXPECT_EQ(2u, winsim::control::liveMemoryBlocks());
    }
    EXPECT_EQ(0u, winsim::control::liveMemoryBlocks());
}

} // namespace
