// Registry: opening and creating keys, the size probe of RegQueryValueExW and
// ERROR_MORE_DATA, strings stored without a terminator, the ANSI calls, deletes and rights.
#include <cstring>
#include <string>

#include "battery.h"
#include "report.h"

namespace conformance {

namespace {

const WCHAR kConfKey[] = L"Software\\Conformance";

struct OpenRow {
    const char* id;
    HKEY root;
    const WCHAR* path;
};

const OpenRow kOpens[] = {
    {"reg.open.existing", HKEY_LOCAL_MACHINE,
     L"SYSTEM\\CurrentControlSet\\Control\\Session Manager"},
    {"reg.open.other-case", HKEY_LOCAL_MACHINE,
     L"system\\CURRENTCONTROLSET\\control\\session MANAGER"},
    {"reg.open.trailing-separator", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\"},
    {"reg.open.user-software", HKEY_CURRENT_USER, L"Software\\Microsoft"},
    {"reg.open.run", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {"reg.open.missing", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvanta Conformance"},
    {"reg.open.null-root", nullptr, L"SOFTWARE"},
};

void openCases() {
    for (const OpenRow& row : kOpens) {
        HKEY key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(kPoison));
        poison();
        LSTATUS status = RegOpenKeyExW(row.root, row.path, 0, KEY_READ, &key);
        DWORD error = GetLastError();
        bool poisoned = key == reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(kPoison));
        line(row.id, "RegOpenKeyExW(" + text(row.path) + ")", num(status), error,
             std::string("key=") + (poisoned ? "-" : handle(key)));
        if (status == ERROR_SUCCESS) {
            RegCloseKey(key);
        }
    }
    HKEY key = nullptr;
    poison();
    LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nothing Here", 0, KEY_READ, &key);
    line("reg.open-a.missing", "RegOpenKeyExA(\"SOFTWARE\\Nothing Here\")", num(status),
         GetLastError(), "key=" + handle(key));
}

void create(const char* id, const WCHAR* path) {
    HKEY key = nullptr;
    DWORD disposition = kPoison;
    poison();
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS,
                                     nullptr, &key, &disposition);
    DWORD error = GetLastError();
    line(id, "RegCreateKeyExW(" + text(path) + ")", num(status), error,
         "disposition=" + num(disposition));
    RegCloseKey(key);
}

// One query: data buffer of `size` bytes (none when size is 0 and probe is set).
void query(const char* id, HKEY key, const WCHAR* name, DWORD size, bool probe) {
    BYTE data[64];
    std::memset(data, 0xAB, sizeof data);
    DWORD type = kPoison;
    DWORD cb = size;
    poison();
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, probe ? nullptr : data, &cb);
    DWORD error = GetLastError();
    std::string shown = status == ERROR_SUCCESS && !probe ? wideBytes(data, cb) : "-";
    line(id, "RegQueryValueExW(" + text(name) + "," + num(size) + ")", num(status), error,
         "type=" + num(type) + " size=" + num(cb) + " data=" + shown +
             " next=" + hex(cb < sizeof data ? data[cb] : 0));
}

void set(const char* id, HKEY key, const WCHAR* name, DWORD type, const void* data, DWORD size) {
    poison();
    LSTATUS status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    line(id, "RegSetValueExW(" + text(name) + "," + num(type) + "," + num(size) + ")", num(status),
         GetLastError());
}

void valueCases(HKEY key) {
    const WCHAR path[] = L"C:\\Program Files\\x.exe";
    set("reg.set.sz", key, L"Tray", REG_SZ, path, sizeof path);
    query("reg.query.probe", key, L"tray", 0, true);
    query("reg.query.small", key, L"Tray", 8, false);
    query("reg.query.exact", key, L"TRAY", sizeof path, false);
    query("reg.query.missing", key, L"Nothing", 64, false);
    set("reg.set.sz-unterminated", key, L"abc", REG_SZ, L"abc", 6);
    query("reg.query.unterminated-probe", key, L"abc", 0, true);
    query("reg.query.unterminated", key, L"abc", 64, false);
    const WCHAR pair[] = L"a\0b\0";
    set("reg.set.multi-sz", key, L"pair", REG_MULTI_SZ, pair, sizeof pair);
    query("reg.query.multi-sz", key, L"pair", 64, false);

    const char cafe[] = "Caf\xE9";
    poison();
    LSTATUS status =
        RegSetValueExA(key, "Ansi", 0, REG_SZ, reinterpret_cast<const BYTE*>(cafe), sizeof cafe);
    line("reg.set-a.sz", "RegSetValueExA(\"Ansi\",\"Caf\\xE9\")", num(status), GetLastError());
    query("reg.query.ansi-as-wide", key, L"Ansi", 64, false);
    char small[4];
    for (DWORD size : {0u, 4u, 5u}) {
        DWORD cb = size;
        poison();
        status = RegQueryValueExA(key, "ANSI", nullptr, nullptr,
                                  size ? reinterpret_cast<BYTE*>(small) : nullptr, &cb);
        line(size == 0   ? "reg.query-a.probe"
             : size == 4 ? "reg.query-a.small"
                         : "reg.query-a.exact",
             "RegQueryValueExA(\"ANSI\"," + num(size) + ")", num(status), GetLastError(),
             "size=" + num(cb));
    }
    for (const char* id : {"reg.delete.existing", "reg.delete.missing"}) {
        poison();
        status = RegDeleteValueW(key, L"tray");
        line(id, "RegDeleteValueW(\"tray\")", num(status), GetLastError());
    }
    poison();
    status = RegDeleteValueA(key, "Nothing");
    line("reg.delete-a.missing", "RegDeleteValueA(\"Nothing\")", num(status), GetLastError());
}

void rightsCases() {
    HKEY reader = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, kConfKey, 0, KEY_READ, &reader);
    DWORD one = 1;
    set("reg.set.read-only-handle", reader, L"v", REG_DWORD, &one, 4);
    poison();
    LSTATUS status = RegDeleteValueW(reader, L"abc");
    line("reg.delete.read-only-handle", "RegDeleteValueW(reader)", num(status), GetLastError());
    poison();
    status = RegCloseKey(reader);
    line("reg.close.open", "RegCloseKey(key)", num(status), GetLastError());
    poison();
    status = RegCloseKey(reader);
    line("reg.close.twice", "RegCloseKey(closed)", num(status), GetLastError());
}

} // namespace

void registryCases() {
    openCases();
    create("reg.create.new", kConfKey);
    create("reg.create.existing", L"SOFTWARE\\CONFORMANCE");
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, kConfKey, 0, KEY_ALL_ACCESS, &key);
    valueCases(key);
    RegCloseKey(key);
    rightsCases();
}

} // namespace conformance
