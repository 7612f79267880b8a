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

// A spooler that answers the size probe with success has no directory to give: the set-up
// leaves the directory unset and says nothing.
TEST_F(InstallContextSetUp, DriverDirectoryProbeThatSucceedsLeavesNoDirectory) {
    winsim::control::answerDriverDirectoryWithoutSize(1);
    InstallContext context;
    EXPECT_EQ(nullptr, context.driverDir);
    EXPECT_EQ("orvhelp.chm", u8(context.helpFile));
    EXPECT_EQ(0, context.errorCount);
    EXPECT_EQ("Folioscope 2060\r\n>Check Spooler\r\n", utf8(context.logText));
}

} // namespace
