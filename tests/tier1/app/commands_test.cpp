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

TEST(Commands, OwnerWordsThatNameNoWindowGiveNoOwner) {
    for (const char* word : {"abc", "0", "-1", "12abc", "4294967297", "99999999999", ""}) {
        EXPECT_EQ(nullptr, ownerWindowFrom(W(word))) << word;
    }
}

using Entry = MachineTest;

// Until a command's operation exists the program does nothing for it, and says so with the
// exit code of an unknown word rather than one of success.
TEST_F(Entry, CommandLinesWithoutABuiltCommandExitWith6AndClaimNothing) {
    const char* commandLines[] = {"",
                                  "setup.exe",
                                  "setup.exe uninst",
                                  "\"C:\\Program Files\\Folioscope\\setup.exe\" install",
                                  "setup.exe INSTALL 12",
                                  "setup.exe install abc",
                                  "setup.exe install 99999999999",
                                  "setup.exe serverinstall 1 2",
                                  "setup.exe uninstall 0 x y",
                                  "setup.exe def.set",
                                  "setup.exe removetray",
                                  "setup.exe onInit"};
    // The module instance is stored first, whatever the words.
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x140000000));
    for (const char* commandLine : commandLines) {
        winsim::control::setCommandLine(commandLine);
        EXPECT_EQ(kExitNoCommand, wWinMain(instance, nullptr, nullptr, 1)) << commandLine;
        EXPECT_EQ(instance, moduleInstance) << commandLine;
        EXPECT_EQ(0u, winsim::control::liveMemoryBlocks()) << "word list freed: " << commandLine;
    }
    moduleInstance = nullptr;
}

} // namespace
