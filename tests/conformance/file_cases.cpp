// Files and the registry: CreateFileW's dispositions and share checks, DeleteFileW,
// GetFileAttributesW, ReadFile/WriteFile, MoveFileExW queuing work for the next boot, and
// the registry calls with their size probes and ERROR_MORE_DATA.
#include "battery.h"

namespace conformance {

namespace {

const DWORD R = GENERIC_READ;
const DWORD W = GENERIC_WRITE;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const WCHAR kFile[] = L"C:\\conf\\file.txt";
const WCHAR kNew[] = L"C:\\conf\\new.txt";
const WCHAR kReadOnly[] = L"C:\\conf\\ro.txt";
const WCHAR kMissing[] = L"C:\\conf\\none.txt";
const WCHAR kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

HANDLE open(const WCHAR* path, DWORD access, DWORD share, DWORD disposition, DWORD flags = 0) {
    return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
}

void writeText(const WCHAR* path, DWORD flags = 0) {
    HANDLE h = open(path, W, 0, CREATE_ALWAYS, flags);
    DWORD written = 0;
    WriteFile(h, "hello", 5, &written, nullptr);
    CloseHandle(h);
}

const Row<const WCHAR*, DWORD, DWORD> kOpens[] = {
    {"file.open.existing", kFile, R, OPEN_EXISTING},
    {"file.open.missing", kMissing, R, OPEN_EXISTING},
    {"file.open.missing-dir", L"C:\\none\\file.txt", R, OPEN_EXISTING},
    {"file.create.missing-dir", L"C:\\none\\new.txt", W, CREATE_ALWAYS},
    {"file.open.file-as-dir", L"C:\\conf\\file.txt\\x", R, OPEN_EXISTING},
    {"file.create-new.existing", kFile, W, CREATE_NEW},
    {"file.create-new.new", kNew, W, CREATE_NEW},
    {"file.create-always.existing", kFile, W, CREATE_ALWAYS},
    {"file.create-always.new", kNew, W, CREATE_ALWAYS},
    {"file.open-always.existing", kFile, R, OPEN_ALWAYS},
    {"file.open-always.new", kNew, R, OPEN_ALWAYS},
    {"file.truncate.existing", kFile, W, TRUNCATE_EXISTING},
    {"file.truncate.missing", kMissing, W, TRUNCATE_EXISTING},
    {"file.open.directory", L"C:\\conf\\bin", R, OPEN_EXISTING},
    {"file.open.read-only-for-write", kReadOnly, W, OPEN_EXISTING},
    {"file.open.read-only-for-read", kReadOnly, R, OPEN_EXISTING},
    {"file.open.relative", L"conf\\file.txt", R, OPEN_EXISTING},
    {"file.open.wildcard", L"C:\\conf\\*.txt", R, OPEN_EXISTING},
};

// One handle open (access, share), then a second open: the share rule both ways.
const Row<DWORD, DWORD, DWORD, DWORD, DWORD> kShares[] = {
    {"file.share.writer-then-reader", W, 1, R, 1, OPEN_EXISTING},
    {"file.share.writer-then-reader-sharing-write", W, 1, R, 3, OPEN_EXISTING},
    {"file.share.reader-then-overwrite", R, 1, W, 1, CREATE_ALWAYS},
    {"file.share.reader-then-reader", R, 1, R, 1, OPEN_EXISTING},
    {"file.share.all-then-writer", R, kShareAll, W, kShareAll, OPEN_EXISTING},
    {"file.share.exclusive-then-reader", R, 0, R, kShareAll, OPEN_EXISTING},
    {"file.share.exclusive-then-attributes", R, 0, 0, 0, OPEN_EXISTING},
};

void openCases() {
    for (const auto& [id, path, access, disposition] : kOpens) {
        closeIfOpen(CASE(id, text(path) + "," + hex(access) + "," + num(disposition),
                         CreateFileW(path, access, 1, nullptr, disposition, 0, nullptr), handle));
        writeText(kFile);
        DeleteFileW(kNew);
    }
    for (const auto& [id, firstAccess, firstShare, access, share, disposition] : kShares) {
        HANDLE first = open(kFile, firstAccess, firstShare, OPEN_EXISTING);
        closeIfOpen(CASE(
            id, hex(access) + "," + hex(share),
            CreateFileW(L"C:\\CONF\\file.txt", access, share, nullptr, disposition, 0, nullptr),
            handle));
        closeIfOpen(first);
    }
}

const Row<const WCHAR*> kDeletes[] = {
    {"file.delete.missing", kMissing},
    {"file.delete.missing-dir", L"C:\\none\\file.txt"},
    {"file.delete.directory", L"C:\\conf\\bin"},
    {"file.delete.read-only", kReadOnly},
};

const Row<const WCHAR*> kAttributes[] = {
    {"file.attr.file", kFile},
    {"file.attr.read-only", kReadOnly},
    {"file.attr.directory", L"C:\\conf\\bin"},
    {"file.attr.root", L"C:\\"},
    {"file.attr.nt-prefix", L"\\??\\C:\\conf\\file.txt"},
    {"file.attr.missing", kMissing},
    {"file.attr.missing-dir", L"C:\\none\\none.txt"},
};

void deleteCases() {
    for (const auto& [id, name] : kDeletes) {
        CASE(id, text(name), DeleteFileW(name), flag);
    }
    HANDLE reader = open(kFile, R, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    CASE("file.delete.open-without-share-delete", "", DeleteFileW(kFile), flag);
    CloseHandle(reader);

    // A holder that shares delete: the file is delete-pending until it closes.
    HANDLE holder = open(kFile, R, kShareAll, OPEN_EXISTING);
    CASE("file.delete.shared", "", DeleteFileW(kFile), flag);
    CASE("file.delete.pending-attributes", "", GetFileAttributesW(kFile), hex);
    closeIfOpen(CASE("file.delete.pending-open", "",
                     CreateFileW(kFile, R, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr), handle));
    CloseHandle(holder);
    CASE("file.delete.pending-gone", "", GetFileAttributesW(kFile), hex);
    writeText(kFile);
    CASE("file.delete.plain", "", DeleteFileW(kFile), flag);
    writeText(kFile);
    for (const auto& [id, name] : kAttributes) {
        CASE(id, text(name), GetFileAttributesW(name), hex);
    }
}

void ioCases() {
    const WCHAR path[] = L"C:\\conf\\io.bin";
    static char data[10000];
    DWORD count = kPoison;
    HANDLE out = open(path, W, 0, CREATE_ALWAYS);
    CASE("file.write.block", "10000", WriteFile(out, data, sizeof data, &count, nullptr), flag,
         "written=" + num(count));
    CloseHandle(out);
    HANDLE in = open(path, R, FILE_SHARE_READ, OPEN_EXISTING);
    for (const char* id : {"file.read.first", "file.read.rest", "file.read.at-end"}) {
        count = kPoison;
        CASE(id, "8192", ReadFile(in, data, 8192, &count, nullptr), flag, "read=" + num(count));
    }
    count = kPoison;
    CASE("file.write.read-handle", "", WriteFile(in, "x", 1, &count, nullptr), flag,
         "written=" + num(count));
    CloseHandle(in);
    CASE("file.close.twice", "", CloseHandle(in), flag);
    DeleteFileW(path);
}

// Every row queues work for the next boot; some ask for more.
const Row<const WCHAR*, const WCHAR*, DWORD> kMoves[] = {
    {"file.boot.delete", L"C:\\conf\\file12.txt", nullptr, 0},
    {"file.boot.delete-odd-path", L"c:/conf/../conf/file2.txt", nullptr, 0},
    {"file.boot.replace", L"C:\\conf\\new.dll", L"C:\\Windows\\system32\\port.dll",
     MOVEFILE_REPLACE_EXISTING},
    {"file.boot.delete-again", L"C:\\conf\\file12.txt", nullptr, 0},
    {"file.boot.copy-allowed", L"C:\\conf\\a.txt", L"C:\\conf\\b.txt", MOVEFILE_COPY_ALLOWED},
};

void bootCases() {
    for (const auto& [id, from, to, more] : kMoves) {
        const DWORD flags = MOVEFILE_DELAY_UNTIL_REBOOT | more;
        CASE(id, text(from) + "," + text(to) + "," + hex(flags), MoveFileExW(from, to, flags),
             flag);
    }
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_ALL_ACCESS, &key);
    queryValue("file.boot.value", key, L"PendingFileRenameOperations", 512);
    RegDeleteValueW(key, L"PendingFileRenameOperations");
    RegCloseKey(key);
}

const Row<HKEY, const WCHAR*> kKeys[] = {
    {"reg.open.existing", HKEY_LOCAL_MACHINE, kSessionManager},
    {"reg.open.other-case", HKEY_LOCAL_MACHINE,
     L"system\\CURRENTCONTROLSET\\control\\session MANAGER"},
    {"reg.open.trailing-separator", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\"},
    {"reg.open.run", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {"reg.open.missing", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvanta Conformance"},
    {"reg.open.user-software", HKEY_CURRENT_USER, L"Software\\Microsoft"},
    {"reg.open.null-root", nullptr, L"SOFTWARE"},
};

void keyCases() {
    HKEY key = nullptr;
    for (const auto& [id, root, name] : kKeys) {
        key = reinterpret_cast<HKEY>(ULONG_PTR{kPoison}); // a failure must write NULL
        CASE(id, text(name), RegOpenKeyExW(root, name, 0, KEY_READ, &key), num,
             "key=" + handle(key));
        RegCloseKey(key);
    }
    CASE("reg.open-a.missing", "",
         RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nothing Here", 0, KEY_READ, &key), num,
         "key=" + handle(key));
}

} // namespace

void fileCases() {
    writeText(kFile);
    writeText(kReadOnly, FILE_ATTRIBUTE_READONLY);
    openCases();
    deleteCases();
    ioCases();
    bootCases();
}

void registryCases() {
    keyCases();
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Conformance", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    const WCHAR exe[] = L"C:\\Program Files\\x.exe";
    CASE("reg.set.sz", "", RegSetValueExW(key, L"Tray", 0, REG_SZ, bytes(exe), sizeof exe), num);
    queryValue("reg.query.probe", key, L"tray", 0);
    queryValue("reg.query.small", key, L"Tray", 8);
    queryValue("reg.query.exact", key, L"TRAY", sizeof exe);
    queryValue("reg.query.missing", key, L"Nothing", 64);
    CASE("reg.set.sz-unterminated", "", RegSetValueExW(key, L"abc", 0, REG_SZ, bytes(exe), 6), num);
    queryValue("reg.query.unterminated-probe", key, L"abc", 0);
    queryValue("reg.query.unterminated", key, L"abc", 64);
    const WCHAR pair[] = L"a\0b\0";
    CASE("reg.set.multi-sz", "",
         RegSetValueExW(key, L"pair", 0, REG_MULTI_SZ, bytes(pair), sizeof pair), num);
    queryValue("reg.query.multi-sz", key, L"pair", 64);
    for (const char* id : {"reg.delete.existing", "reg.delete.missing"}) {
        CASE(id, "", RegDeleteValueW(key, L"tray"), num);
    }
    CASE("reg.delete-a.missing", "", RegDeleteValueA(key, "Nothing"), num);
    RegCloseKey(key);
    // The same key with read rights only.
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Conformance", 0, KEY_READ, &key);
    DWORD one = 1;
    CASE("reg.set.read-only-handle", "", RegSetValueExW(key, L"v", 0, REG_DWORD, bytes(&one), 4),
         num);
    CASE("reg.delete.read-only-handle", "", RegDeleteValueW(key, L"abc"), num);
    CASE("reg.close.open", "", RegCloseKey(key), num);
    CASE("reg.close.twice", "", RegCloseKey(key), num);
}

} // namespace conformance
