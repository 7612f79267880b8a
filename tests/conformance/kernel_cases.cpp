// Process-wide calls: CommandLineToArgvW's quoting rules, the program's own path, the
// system directory, FormatMessageW's system texts, the ANSI code page, GetVersionExA.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "battery.h"
#include "report.h"

namespace conformance {

namespace {

struct SplitRow {
    const char* id;
    const WCHAR* commandLine;
};

const SplitRow kSplits[] = {
    {"argv.plain", L"C:\\inst\\setup.exe install"},
    {"argv.quoted-program", L"\"C:\\Program Files\\Orv\\setup.exe\" install 12345"},
    {"argv.runs-of-spaces", L"setup.exe  in   1 2"},
    {"argv.quoted-word", L"setup.exe \"un\""},
    {"argv.backslashes", L"setup.exe a\\\\b \"c d\" e\\\"f"},
    {"argv.backslash-before-quote", L"setup.exe \"a\\\\\" b"},
    {"argv.escaped-quote", L"setup.exe \"a\\\\\\\"b\" c"},
    {"argv.tripled-quotes", L"setup.exe \"\"\"x\"\"\" y"},
    {"argv.empty-word", L"setup.exe \"\" z"},
    {"argv.program-keeps-backslash", L"\"C:\\a b\\\"x y"},
    {"argv.program-quote-inside", L"C:\\a\\\"b c\\setup.exe x"},
    {"argv.leading-spaces", L"  leading.exe x"},
    {"argv.tab", L"setup.exe x\ty"},
    {"argv.trailing-spaces", L"setup.exe install   "},
    {"argv.unterminated-program", L"\"unterminated program"},
    {"argv.unterminated-word", L"setup.exe \"open quote"},
    {"argv.empty", L""},
};

void splitCases() {
    for (const SplitRow& row : kSplits) {
        int count = -1;
        poison();
        LPWSTR* argv = CommandLineToArgvW(row.commandLine, &count);
        DWORD error = GetLastError();
        std::string words;
        for (int i = 0; argv && i < count; ++i) {
            words += " " + text(argv[i]);
        }
        line(row.id, "CommandLineToArgvW(" + text(row.commandLine) + ")", argv ? "argv" : "NULL",
             error, "argc=" + std::to_string(count) + words);
        LocalFree(argv);
    }
    poison();
    LPWSTR* argv = CommandLineToArgvW(L"a b", nullptr);
    line("argv.no-count", "CommandLineToArgvW(\"a b\",NULL)", argv ? "argv" : "NULL",
         GetLastError());
}

void moduleCases() {
    for (DWORD size : {64u, 24u, 23u, 3u}) {
        WCHAR buffer[64];
        for (WCHAR& c : buffer) {
            c = L'#';
        }
        poison();
        DWORD length = GetModuleFileNameW(nullptr, buffer, size);
        DWORD error = GetLastError();
        std::string id = "module.name." + std::to_string(size);
        // Whether a cut name keeps its terminator shows in the buffer's first `size` chars.
        line(id.c_str(), "GetModuleFileNameW(" + num(size) + ")", num(length), error,
             "buffer=" + wideBytes(reinterpret_cast<BYTE*>(buffer), 2 * (size < 25 ? size : 25)));
    }
    WCHAR directory[MAX_PATH];
    for (UINT size : {UINT(MAX_PATH), 19u}) {
        directory[0] = 0;
        poison();
        UINT length = GetSystemDirectoryW(directory, size);
        DWORD error = GetLastError();
        // Windows spells the Windows directory in either case.
        std::string shown = text(directory);
        for (char& c : shown) {
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        std::string id = "module.system-dir." + std::to_string(size);
        line(id.c_str(), "GetSystemDirectoryW(" + num(size) + ")", num(length), error,
             "text=" + shown);
    }
}

struct MessageRow {
    const char* id;
    DWORD code;
    DWORD language;
};

const MessageRow kMessages[] = {
    {"message.access-denied", 5, 1033},      {"message.sharing-violation", 32, 1033},
    {"message.rpc-unavailable", 1722, 1033}, {"message.monitor-installed", 3006, 1033},
    {"message.driver-in-use", 3001, 1033},   {"message.unknown-code", 0x20001234, 1033},
    {"message.neutral-language", 2, 0},
};

void messageCases() {
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    for (const MessageRow& row : kMessages) {
        LPWSTR message = nullptr;
        poison();
        DWORD length = FormatMessageW(flags, nullptr, row.code, row.language,
                                      reinterpret_cast<LPWSTR>(&message), 0, nullptr);
        DWORD error = GetLastError();
        std::string shown = message ? text(message) : "null";
        std::string::size_type end;
        while ((end = shown.find("\r\n")) != std::string::npos) {
            shown.replace(end, 2, "^M^J");
        }
        line(row.id, "FormatMessageW(" + num(row.code) + "," + num(row.language) + ")", num(length),
             error, "text=" + shown);
        LocalFree(message);
    }
}

void codePageCases() {
    struct Row {
        const char* id;
        const char* bytes;
        int count;
        int size;
    } rows[] = {
        {"acp.terminated", "Caf\xE9", -1, 16}, {"acp.probe", "Caf\xE9", -1, 0},
        {"acp.counted", "abc", 2, 16},         {"acp.euro-and-undefined", "\x80\x81\x9F", 3, 16},
        {"acp.too-small", "abcd", -1, 4},      {"acp.empty-counted", "abc", 0, 16},
    };
    for (const Row& row : rows) {
        WCHAR wide[16];
        std::memset(wide, 0, sizeof wide);
        poison();
        int length = MultiByteToWideChar(CP_ACP, 0, row.bytes, row.count, row.size ? wide : nullptr,
                                         row.size);
        DWORD error = GetLastError();
        std::string codes;
        for (int i = 0; i < length && row.size; ++i) {
            codes += " " + hex(wide[i]);
        }
        line(row.id,
             "MultiByteToWideChar(" + std::to_string(row.count) + "," + std::to_string(row.size) +
                 ")",
             std::to_string(length), error, "chars=" + codes);
    }
}

void osVersionCases() {
    for (DWORD size : {DWORD(sizeof(OSVERSIONINFOA)), DWORD(147)}) {
        OSVERSIONINFOA info;
        std::memset(&info, 0xEE, sizeof info);
        info.dwOSVersionInfoSize = size;
        poison();
        BOOL ok = GetVersionExA(&info);
        DWORD error = GetLastError();
        std::string id = "os.version." + std::to_string(size);
        line(id.c_str(), "GetVersionExA(" + num(size) + ")", flag(ok), error,
             ok ? "version=" + num(info.dwMajorVersion) + "." + num(info.dwMinorVersion) + "." +
                      num(info.dwBuildNumber) + " platform=" + num(info.dwPlatformId)
                : "major=" + hex(info.dwMajorVersion));
    }
}

// The process's own state: its command line, memory blocks, the clock, window handles.
void processCases() {
    poison();
    LPWSTR commandLine = GetCommandLineW();
    line("process.command-line", "GetCommandLineW()", text(commandLine), GetLastError());

    poison();
    BYTE* block = static_cast<BYTE*>(GlobalAlloc(GPTR, 16));
    DWORD error = GetLastError();
    line("memory.alloc", "GlobalAlloc(GPTR,16)", block ? "block" : "NULL", error,
         std::string("zeroed=") + (block && block[0] == 0 && block[15] == 0 ? "yes" : "no"));
    poison();
    HGLOBAL left = GlobalFree(block);
    line("memory.free", "GlobalFree(block)", left ? "block" : "NULL", GetLastError());
    poison();
    left = GlobalFree(nullptr);
    line("memory.free-null", "GlobalFree(NULL)", left ? "block" : "NULL", GetLastError());

    DWORD before = GetTickCount();
    poison();
    Sleep(50);
    DWORD slept = GetTickCount() - before;
    // The tick counter's resolution is coarse on Windows (about 16 ms): only that it moved.
    line("clock.sleep", "Sleep(50)", slept >= 30 ? "ticks moved" : "ticks stood", GetLastError());

    for (ULONG_PTR value : {ULONG_PTR(0), ULONG_PTR(0x10010)}) {
        poison();
        BOOL ok = IsWindow(reinterpret_cast<HWND>(value));
        line(value ? "window.is-window.number" : "window.is-window.null",
             "IsWindow(" + hex(static_cast<DWORD>(value)) + ")", flag(ok), GetLastError());
    }
}

} // namespace

void kernelCases() {
    processCases();
    splitCases();
    moduleCases();
    messageCases();
    codePageCases();
    osVersionCases();
}

} // namespace conformance
