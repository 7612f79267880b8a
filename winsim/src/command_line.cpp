// The process command line and the shell's splitter.
#include <cstring>
#include <string>
#include <vector>

#include <shellapi.h>

#include "machine.h"
#include "winsim/text.h"

namespace {

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

// The program name ends at the next quote when it starts with one, else at the next
// blank; backslashes mean nothing in it. A line that starts with a blank therefore has
// an empty program name.
size_t programWord(const std::u16string& line, std::u16string& word) {
    size_t i = 0;
    if (!line.empty() && line[0] == u'"') {
        size_t close = line.find(u'"', 1);
        size_t end = close == std::u16string::npos ? line.size() : close;
        word = line.substr(1, end - 1);
        return close == std::u16string::npos ? line.size() : close + 1;
    }
    while (i < line.size() && !isBlank(line[i])) {
        ++i;
    }
    word = line.substr(0, i);
    return i;
}

// 2n backslashes before a quote give n backslashes and toggle quoting; 2n+1 give n and a
// literal quote. Inside quotes, a run of quotes yields one literal quote for every third.
std::vector<std::u16string> splitArguments(const std::u16string& line, size_t i) {
    std::vector<std::u16string> words;
    std::u16string word;
    int quotes = 0;
    size_t backslashes = 0;
    bool inWord = false;
    while (i < line.size()) {
        char16_t c = line[i];
        if (isBlank(c) && quotes == 0) {
            if (inWord) {
                words.push_back(word);
            }
            word.clear();
            inWord = false;
            backslashes = 0;
            ++i;
            continue;
        }
        inWord = true;
        if (c == u'\\') {
            word += c;
            ++backslashes;
            ++i;
            continue;
        }
        if (c != u'"') {
            word += c;
            backslashes = 0;
            ++i;
            continue;
        }
        word.resize(word.size() - backslashes / 2);
        if (backslashes % 2 == 1) {
            word.back() = u'"';
        } else {
            ++quotes;
        }
        backslashes = 0;
        for (++i; i < line.size() && line[i] == u'"'; ++i) {
            if (++quotes == 3) {
                word += u'"';
                quotes = 0;
            }
        }
        if (quotes == 2) {
            quotes = 0;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return words;
}

std::vector<std::u16string> splitCommandLine(const std::u16string& line) {
    if (line.empty()) {
        return {winsim::toUtf16(winsim::machine().settings.programPath)};
    }
    std::u16string program;
    size_t i = programWord(line, program);
    std::vector<std::u16string> words{program};
    while (i < line.size() && isBlank(line[i])) {
        ++i;
    }
    for (std::u16string& word : splitArguments(line, i)) {
        words.push_back(word);
    }
    return words;
}

} // namespace

// The same buffer for the whole run, as the process environment block holds it; it is
// rebuilt only when a test changes the machine's command line.
LPWSTR WINAPI GetCommandLineW(void) {
    static std::string source;
    static std::u16string line;
    const std::string& current = winsim::machine().settings.commandLine;
    if (line.empty() || source != current) {
        source = current;
        line = winsim::toUtf16(current);
    }
    return winsim::wzMutable(line);
}

// One LocalAlloc block: the pointer array (ending in a null pointer), then the strings.
LPWSTR* WINAPI CommandLineToArgvW(LPCWSTR lpCmdLine, int* pNumArgs) {
    if (!pNumArgs || !lpCmdLine) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    size_t length = 0;
    while (lpCmdLine[length]) {
        ++length;
    }
    std::vector<std::u16string> words =
        splitCommandLine(std::u16string(reinterpret_cast<const char16_t*>(lpCmdLine), length));
    size_t bytes = (words.size() + 1) * sizeof(LPWSTR);
    for (const std::u16string& word : words) {
        bytes += (word.size() + 1) * sizeof(WCHAR);
    }
    LPWSTR* argv = static_cast<LPWSTR*>(LocalAlloc(LMEM_FIXED, bytes));
    if (!argv) {
        return nullptr;
    }
    WCHAR* text = reinterpret_cast<WCHAR*>(argv + words.size() + 1);
    for (size_t k = 0; k < words.size(); ++k) {
        argv[k] = text;
        std::memcpy(text, words[k].c_str(), (words[k].size() + 1) * sizeof(WCHAR));
        text += words[k].size() + 1;
    }
    argv[words.size()] = nullptr;
    *pNumArgs = static_cast<int>(words.size());
    return argv;
}
