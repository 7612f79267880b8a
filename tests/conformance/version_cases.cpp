// Version resources of real DLLs: the size of the version information or why there is
// none, the copy, and the fixed part and the strings that VerQueryValueW finds.
#include <algorithm>
#include <string>
#include <vector>

#include "battery.h"
#include "report.h"

namespace conformance {

namespace {

struct SizeRow {
    const char* id;
    const WCHAR* path;
};

const SizeRow kSizes[] = {
    {"version.size.monitor", L"C:\\conf\\bin\\confmon.dll"},
    {"version.size.other-case", L"c:\\CONF\\BIN\\CONFMON.DLL"},
    {"version.size.driver", L"C:\\conf\\bin\\confdrv.dll"},
    {"version.size.no-version", L"C:\\conf\\bin\\confnover.dll"},
    {"version.size.text-file", L"C:\\conf\\file.txt"},
    {"version.size.missing", L"C:\\conf\\bin\\none.dll"},
    {"version.size.missing-dir", L"C:\\none\\confmon.dll"},
};

void sizeCases() {
    for (const SizeRow& row : kSizes) {
        DWORD handle = kPoison;
        poison();
        DWORD size = GetFileVersionInfoSizeW(row.path, &handle);
        DWORD error = GetLastError();
        line(row.id, "GetFileVersionInfoSizeW(" + text(row.path) + ")", num(size), error,
             "handle=" + num(handle));
    }
}

std::string fixedInfo(const void* block) {
    void* value = nullptr;
    UINT length = kPoison;
    poison();
    BOOL ok = VerQueryValueW(block, L"\\", &value, &length);
    DWORD error = GetLastError();
    const VS_FIXEDFILEINFO* info = static_cast<const VS_FIXEDFILEINFO*>(value);
    std::string out = flag(ok) + " err=" + num(error) + " length=" + num(length);
    if (ok) {
        out += " offset=" +
               std::to_string(static_cast<const BYTE*>(value) - static_cast<const BYTE*>(block)) +
               " signature=" + hex(info->dwSignature) +
               " product=" + hex(info->dwProductVersionMS) + "." + hex(info->dwProductVersionLS) +
               " file=" + hex(info->dwFileVersionMS) + "." + hex(info->dwFileVersionLS);
    }
    return out;
}

void query(const char* id, const std::vector<BYTE>& block, const WCHAR* subBlock) {
    void* const untouched = const_cast<BYTE*>(block.data()) + 1;
    void* value = untouched;
    UINT length = kPoison;
    poison();
    BOOL ok = VerQueryValueW(block.data(), subBlock, &value, &length);
    DWORD error = GetLastError();
    line(id, "VerQueryValueW(" + text(subBlock) + ")", flag(ok), error,
         "length=" + num(length) + " value=" +
             (ok                   ? text(static_cast<const WCHAR*>(value))
              : value == untouched ? "-"
                                   : "moved"));
}

void blockCases() {
    const WCHAR* path = L"C:\\conf\\bin\\confmon.dll";
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path, nullptr), 0xCC);
    poison();
    BOOL ok = GetFileVersionInfoW(path, 0, static_cast<DWORD>(block.size()), block.data());
    DWORD error = GetLastError();
    line("version.info.monitor", "GetFileVersionInfoW(confmon.dll)", flag(ok), error,
         "wLength=" + num(block[0] | block[1] << 8));
    line("version.root.monitor", "VerQueryValueW(\"\\\\\")", fixedInfo(block.data()), kPoison);
    query("version.string.product", block, L"\\StringFileInfo\\040904b0\\ProductVersion");
    query("version.string.other-case", block, L"\\stringfileinfo\\040904B0\\PRODUCTVERSION");
    query("version.string.unknown", block, L"\\StringFileInfo\\0407");

    std::vector<BYTE> part(24, 0xCC);
    poison();
    ok = GetFileVersionInfoW(path, 0, 20, part.data());
    error = GetLastError();
    line(
        "version.info.short-buffer", "GetFileVersionInfoW(20)", flag(ok), error,
        "copied=" +
            std::string(std::equal(part.begin(), part.begin() + 20, block.begin()) ? "yes" : "no") +
            " after=" + hex(part[20]));

    std::vector<BYTE> none(64, 0xCC);
    poison();
    ok = GetFileVersionInfoW(L"C:\\conf\\file.txt", 0, 64, none.data());
    error = GetLastError();
    line("version.info.text-file", "GetFileVersionInfoW(file.txt)", flag(ok), error,
         "first=" + hex(none[0]));
}

} // namespace

void versionCases() {
    sizeCases();
    blockCases();
}

} // namespace conformance
