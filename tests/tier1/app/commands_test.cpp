#include "support/machine_test.h"

#include <string>

#include "app/commands.h"
#include "app/module_instance.h"
#include "winsim/control.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

namespace {

// The first spelling of the row a word selects, or "" when it is no command.
std::string commandOf(const char* word) {
    const Command* command = findCommand(W(word));
    return command == nullptr ? "" : u8(command->words[0]);
}

// The last row: non-ASCII letters never fold onto ASCII ones.
TEST(Commands, WordsSelectTheirRowByWholeWordAndLetterCaseRules) {
    const struct {
        const char* word;
        const char* command;
    } rows[] = {{"onChkDrv", "onChkDrv"},
                {"ONCHKDRV", "onChkDrv"},
                {"oninit", "onInit"},
                {"un", "un"},
                {"UnInstall", "un"},
                {"uninst", ""},
                {"uninstaller", ""},
                {"RemoveTray", "removetray"},
                {"IN", "in"},
                {"install", "in"},
                {"InStAlL", "in"},
                {"SERVERINSTALL", "in"},
                {"install ", ""},
                {"i", ""},
                {"def.set", "def.set"},
                {"DEF.SET", ""},
                {"Def.set", ""},
                {"def.setx", ""},
                {"def.se", ""},
                {"", ""},
                {"\u00eens\u0163all", ""}};
    for (const auto& row : rows) {
        EXPECT_EQ(row.command, commandOf(row.word)) << "'" << row.word << "'";
    }
}

using Entry = MachineTest;

// Only a command line of exactly three words names an owner; the exit code belongs to the
// command, and the word list never outlives the program's start.
TEST_F(Entry, CommandLinesRunTheirCommandOrExitWith6) {
    const struct {
        const char* commandLine;
        int exitCode;
    } rows[] = {{"", 6},
                {"setup.exe", 6},
                {"setup.exe uninst", 6},
                {"\"C:\\Program Files\\Folioscope\\setup.exe\" onChkDrv", 3},
                {"setup.exe uninstall 0 x y", 2},
                {"setup.exe def.set 12", 4},
                {"setup.exe removetray", 6},
                {"setup.exe onInit", 102}};
    // The module instance is stored first, whatever the words.
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x140000000));
    for (const auto& row : rows) {
        winsim::control::setCommandLine(row.commandLine);
        EXPECT_EQ(row.exitCode, wWinMain(instance, nullptr, nullptr, 1)) << row.commandLine;
        EXPECT_EQ(instance, moduleInstance) << row.commandLine;
        EXPECT_EQ(0u, winsim::control::liveMemoryBlocks()) << row.commandLine;
    }
    // Without memory to split the command line into words, no command runs.
    winsim::control::setCommandLine("setup.exe onChkDrv");
    winsim::control::failAllocations(0, 1);
    EXPECT_EQ(6, wWinMain(instance, nullptr, nullptr, 1));
    moduleInstance = nullptr;
}

} // namespace
