// Process-wide calls: CommandLineToArgvW's quoting, the program's own path, the system
// directory, FormatMessageW's system texts, the ANSI code page, memory, the
// clock; and the version resources of real DLLs.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "battery.h"

namespace conformance {

namespace {

const Row<const WCHAR*> kSplits[] = {
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

std::string words(LPWSTR* argv, int count) {
    std::string out = "argc=" + std::to_string(count);
    for (int i = 0; argv && i < count; ++i) {
        out += " " + text(argv[i]);
    }
    return out;
}

void processCases() {
    for (const auto& [id, name] : kSplits) {
        int count = -1;
        LocalFree(CASE(id, text(name), CommandLineToArgvW(name, &count), named("argv"),
                       words(result_, count)));
    }
    CASE("argv.no-count", "", CommandLineToArgvW(L"a b", nullptr), named("argv"));
    int count = 0;
    CASE("memory.local-free", "argv", LocalFree(CommandLineToArgvW(L"a b", &count)),
         named("block"));
    for (DWORD size : {DWORD{sizeof(OSVERSIONINFOA)}, DWORD{10}}) {
        OSVERSIONINFOA version = {size, kPoison, kPoison, kPoison, kPoison, {0}};
        CASE("os.version." + std::to_string(size), num(size), GetVersionExA(&version), flag,
             "version=" + num(version.dwMajorVersion) + "." + num(version.dwMinorVersion) + "." +
                 num(version.dwBuildNumber) + " platform=" + num(version.dwPlatformId));
    }
    CASE("process.command-line", "", GetCommandLineW(), text);
    for (DWORD size : {64u, 24u, 23u, 3u}) {
        WCHAR buffer[64];
        std::fill(buffer, buffer + 64, L'#');
        // Whether a cut name keeps a terminator shows in the buffer's first chars.
        CASE("module.name." + std::to_string(size), num(size),
             GetModuleFileNameW(nullptr, buffer, size), num,
             "buffer=" + wideBytes(reinterpret_cast<BYTE*>(buffer), 2 * std::min<DWORD>(size, 25)));
    }
    for (UINT size : {UINT(MAX_PATH), 19u}) {
        WCHAR directory[MAX_PATH] = {0};
        CASE("module.system-dir." + std::to_string(size), num(size),
             GetSystemDirectoryW(directory, size), num, "text=" + path(directory));
    }
    BYTE* memory =
        CASE("memory.alloc", "GPTR,16", static_cast<BYTE*>(GlobalAlloc(GPTR, 16)), named("block"),
             std::string("zeroed=") + (result_ && !result_[0] && !result_[15] ? "yes" : "no"));
    CASE("memory.free", "", GlobalFree(memory), named("block"));
    CASE("memory.free-null", "", GlobalFree(nullptr), named("block"));
    DWORD before = GetTickCount();
    CASE("clock.sleep", "50", (Sleep(50), GetTickCount() - before),
         // The tick counter is coarse on Windows (about 16 ms): only that it moved.
         [](DWORD slept) { return std::string(slept >= 30 ? "ticks moved" : "ticks stood"); });
}

// The code and the language.
const Row<DWORD, DWORD> kMessages[] = {
    {"message.access-denied", 5, 1033},      {"message.sharing-violation", 32, 1033},
    {"message.rpc-unavailable", 1722, 1033}, {"message.monitor-installed", 3006, 1033},
    {"message.driver-in-use", 3001, 1033},   {"message.unknown-code", 0x20001234, 1033},
    {"message.neutral-language", 2, 0},
};

std::string codes(const WCHAR* wide) {
    std::string out;
    for (int i = 0; i < 16 && wide[i]; ++i) {
        out += " " + hex(wide[i]);
    }
    return out;
}

void textCases() {
    const DWORD flags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    for (const auto& [id, code, language] : kMessages) {
        LPWSTR message = nullptr;
        CASE(id, num(code) + "," + num(language),
             FormatMessageW(flags, nullptr, code, language, reinterpret_cast<LPWSTR>(&message), 0,
                            nullptr),
             num, "text=" + text(message));
        LocalFree(message);
    }
    // Without IGNORE_INSERTS and without arguments, a text with inserts cannot be built.
    LPWSTR message = nullptr;
    CASE("message.inserts-without-arguments", "317,1033",
         FormatMessageW(flags & ~FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 317, 1033,
                        reinterpret_cast<LPWSTR>(&message), 0, nullptr),
         num, "text=" + text(message));
    LocalFree(message);
    // The bytes, their count and the size of the buffer for the wide text.
    const Row<const char*, int, int> pages[] = {
        {"acp.terminated", "Caf\xE9", -1, 16}, {"acp.probe", "Caf\xE9", -1, 0},
        {"acp.counted", "abc", 2, 16},         {"acp.euro-and-undefined", "\x80\x81\x9F", 3, 16},
        {"acp.too-small", "abcd", -1, 4},      {"acp.empty-counted", "abc", 0, 16},
    };
    for (const auto& [id, bytes, count, size] : pages) {
        WCHAR wide[16] = {0};
        CASE(id, std::to_string(count) + "," + std::to_string(size),
             MultiByteToWideChar(CP_ACP, 0, bytes, count, size ? wide : nullptr, size), num,
             "chars=" + (result_ > 0 ? codes(wide) : "-"));
    }
}

const Row<const WCHAR*> kVersionFiles[] = {
    {"version.size.monitor", L"C:\\conf\\bin\\confmon.dll"},
    {"version.size.other-case", L"c:\\CONF\\BIN\\CONFMON.DLL"},
    {"version.size.driver", L"C:\\conf\\bin\\confdrv.dll"},
    {"version.size.no-version", L"C:\\conf\\bin\\confnover.dll"},
    {"version.size.text-file", L"C:\\conf\\file.txt"},
    {"version.size.missing", L"C:\\conf\\bin\\none.dll"},
    {"version.size.missing-dir", L"C:\\none\\confmon.dll"},
};

const Row<const WCHAR*> kSubBlocks[] = {
    {"version.root.monitor", L"\\"},
    {"version.string.product", L"\\StringFileInfo\\040904b0\\ProductVersion"},
    {"version.string.other-case", L"\\stringfileinfo\\040904B0\\PRODUCTVERSION"},
    {"version.string.unknown", L"\\StringFileInfo\\0407"},
};

// A value found by VerQueryValueW: the fixed part for the root, else the text.
std::string value(const std::vector<BYTE>& block, const void* p, const WCHAR* subBlock) {
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(p);
    return subBlock[1] ? text(static_cast<const WCHAR*>(p))
                       : "offset=" + std::to_string(static_cast<const BYTE*>(p) - block.data()) +
                             " signature=" + hex(info->dwSignature) +
                             " product=" + hex(info->dwProductVersionMS) + "." +
                             hex(info->dwProductVersionLS) + " file=" + hex(info->dwFileVersionMS) +
                             "." + hex(info->dwFileVersionLS);
}

void versionResourceCases() {
    for (const auto& [id, name] : kVersionFiles) {
        DWORD handle = kPoison;
        CASE(id, text(name), GetFileVersionInfoSizeW(name, &handle), num, "handle=" + num(handle));
    }
    const WCHAR* dll = L"C:\\conf\\bin\\confmon.dll";
    std::vector<BYTE> block(GetFileVersionInfoSizeW(dll, nullptr) + 24, 0);
    CASE("version.info.monitor", "",
         GetFileVersionInfoW(dll, 0, static_cast<DWORD>(block.size() - 24), block.data()), flag,
         "wLength=" + num(block[0] | block[1] << 8));
    for (const auto& [id, name] : kSubBlocks) {
        void* untouched = block.data() + 1;
        void* found = untouched;
        UINT length = kPoison;
        CASE(id, text(name), VerQueryValueW(block.data(), name, &found, &length), flag,
             "length=" + num(length) + " value=" +
                 (result_              ? value(block, found, name)
                  : found == untouched ? "-"
                                       : "moved"));
    }
    std::vector<BYTE> part(24, 0xCC);
    CASE("version.info.short-buffer", "20", GetFileVersionInfoW(dll, 0, 20, part.data()), flag,
         std::string("copied=") +
             (std::equal(part.begin(), part.begin() + 20, block.begin()) ? "yes" : "no") +
             " after=" + hex(part[20]));
    CASE("version.info.text-file", "",
         GetFileVersionInfoW(L"C:\\conf\\file.txt", 0, 24, part.data()), flag);
}

} // namespace

void kernelCases() {
    processCases();
    textCases();
    versionResourceCases();
}

} // namespace conformance
