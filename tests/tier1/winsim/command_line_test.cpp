// GetCommandLineW and CommandLineToArgvW: the shell's quoting and backslash rules.
#include <gtest/gtest.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "support/machine_test.h"
#include "winsim/control.h"

namespace {

class CommandLine : public MachineTest {
  protected:
    // Splits a command line; the block is freed here, so a leak shows in the teardown.
    std::vector<std::string> split(const std::string& line) {
        int count = -1;
        LPWSTR* argv = CommandLineToArgvW(W(line), &count);
        EXPECT_NE(nullptr, argv) << line;
        std::vector<std::string> words;
        for (int i = 0; argv && i < count; ++i) {
            words.push_back(u8(argv[i]));
        }
        if (argv) {
            EXPECT_EQ(nullptr, argv[count]) << "the pointer array ends in a null pointer";
            EXPECT_EQ(nullptr, LocalFree(argv)) << "one block, freed with one LocalFree";
        }
        return words;
    }
};

struct SplitCase {
    const char* line;
    std::vector<std::string> words;
};

TEST_F(CommandLine, SplitsAsTheShellDoes) {
    const SplitCase cases[] = {
        {"C:\\inst\\setup.exe install", {"C:\\inst\\setup.exe", "install"}},
        {"\"C:\\Program Files\\Orv\\setup.exe\" install 12345",
         {"C:\\Program Files\\Orv\\setup.exe", "install", "12345"}},
        {"setup.exe  in   1 2", {"setup.exe", "in", "1", "2"}},
        {"setup.exe \"un\"", {"setup.exe", "un"}},
        {"setup.exe a\\\\b \"c d\" e\\\"f", {"setup.exe", "a\\\\b", "c d", "e\"f"}},
        {"setup.exe \"a\\\\\" b", {"setup.exe", "a\\", "b"}},
        {"setup.exe \"a\\\\\\\"b\" c", {"setup.exe", "a\\\"b", "c"}},
        {"setup.exe \"\"\"x\"\"\" y", {"setup.exe", "\"x\"", "y"}},
        {"setup.exe \"\" z", {"setup.exe", "", "z"}},
        {"\"C:\\a b\\\"x y", {"C:\\a b\\", "x", "y"}},
        {"C:\\a\\\"b c\\setup.exe x", {"C:\\a\\\"b", "c\\setup.exe", "x"}},
        {"  leading.exe x", {"", "leading.exe", "x"}},
        {"setup.exe x\ty", {"setup.exe", "x", "y"}},
        {"setup.exe install   ", {"setup.exe", "install"}},
        {"\"unterminated program", {"unterminated program"}},
        {"setup.exe \"open quote", {"setup.exe", "open quote"}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(c.words, split(c.line)) << c.line;
    }
}

TEST_F(CommandLine, EmptyLineGivesTheProgramPath) {
    winsim::control::setProgramPath("C:\\Setup\\folioinst.exe");
    EXPECT_EQ(std::vector<std::string>{"C:\\Setup\\folioinst.exe"}, split(""));
}

TEST_F(CommandLine, MissingCountIsInvalidParameter) {
    SetLastError(0xDEADBEEF);
    EXPECT_EQ(nullptr, CommandLineToArgvW(W("a b"), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST_F(CommandLine, GetCommandLineIsTheMachinesLineInOneStableBuffer) {
    winsim::control::setCommandLine("\"C:\\Program Files\\Folioscope\\folioinst.exe\" install");
    LPWSTR first = GetCommandLineW();
    EXPECT_EQ("\"C:\\Program Files\\Folioscope\\folioinst.exe\" install", u8(first));
    EXPECT_EQ(first, GetCommandLineW());
    winsim::control::setCommandLine("x.exe uninstall");
    EXPECT_EQ("x.exe uninstall", u8(GetCommandLineW()));
}

// Words given to the Linux program come back from the splitter exactly as they were.
TEST_F(CommandLine, CommandWordsRoundTripThroughTheSplitter) {
    const std::vector<std::string> words = {"install",       "",           "two words",
                                            "quote\"inside", "trailing\\", "back\\\\slashes\\\" q",
                                            "tab\tx"};
    winsim::control::setCommandWords(words);
    std::vector<std::string> expected = {"C:\\Program Files\\Folioscope\\folioinst.exe"};
    expected.insert(expected.end(), words.begin(), words.end());
    EXPECT_EQ(expected, split(u8(GetCommandLineW())));
}

} // namespace
