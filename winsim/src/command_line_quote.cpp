// Building a command line from words, so that CommandLineToArgvW gives the words back.
#include "machine.h"
#include "winsim/control.h"

namespace {

// Backslashes are doubled only where they come before a quote (or the closing quote).
std::string quoteWord(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) {
        return word;
    }
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        out += c;
        backslashes = 0;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

} // namespace

namespace winsim::control {

// The program name has no escape rules; it is quoted when it holds a blank, as Explorer
// and CreateProcess callers do.
void setCommandWords(const std::vector<std::string>& words) {
    const std::string& program = machine().settings.programPath;
    std::string line =
        program.find_first_of(" \t") == std::string::npos ? program : "\"" + program + "\"";
    for (const std::string& word : words) {
        line += " " + quoteWord(word);
    }
    machine().settings.commandLine = line;
}

} // namespace winsim::control
