// Files: CreateFileW's dispositions and share checks, DeleteFileW, GetFileAttributesW,
// ReadFile/WriteFile, and MoveFileExW queuing work for the next boot.
#include <string>

#include "battery.h"
#include "report.h"

namespace conformance {

namespace {

const DWORD R = GENERIC_READ;
const DWORD W = GENERIC_WRITE;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const WCHAR kFile[] = L"C:\\conf\\file.txt";
const WCHAR kNew[] = L"C:\\conf\\new.txt";
const WCHAR kReadOnly[] = L"C:\\conf\\ro.txt";

HANDLE open(const WCHAR* path, DWORD access, DWORD share, DWORD disposition, DWORD flags = 0) {
    return CreateFileW(path, access, share, nullptr, disposition, flags, nullptr);
}

void writeText(const WCHAR* path, const char* bytes, DWORD size, DWORD flags = 0) {
    HANDLE h = open(path, W, 0, CREATE_ALWAYS, flags);
    DWORD written = 0;
    WriteFile(h, bytes, size, &written, nullptr);
    CloseHandle(h);
}

void closeIfOpen(HANDLE h) {
    if (h != INVALID_HANDLE_VALUE && h) {
        CloseHandle(h);
    }
}

struct OpenRow {
    const char* id;
    const WCHAR* path;
    DWORD access;
    DWORD disposition;
};

const OpenRow kOpens[] = {
    {"file.open.existing", kFile, R, OPEN_EXISTING},
    {"file.open.missing", L"C:\\conf\\none.txt", R, OPEN_EXISTING},
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
    {"file.truncate.missing", L"C:\\conf\\none.txt", W, TRUNCATE_EXISTING},
    {"file.open.directory", L"C:\\conf\\bin", R, OPEN_EXISTING},
    {"file.open.read-only-for-write", kReadOnly, W, OPEN_EXISTING},
    {"file.open.read-only-for-read", kReadOnly, R, OPEN_EXISTING},
    {"file.open.relative", L"conf\\file.txt", R, OPEN_EXISTING},
    {"file.open.wildcard", L"C:\\conf\\*.txt", R, OPEN_EXISTING},
};

void openCases() {
    for (const OpenRow& row : kOpens) {
        poison();
        HANDLE h = open(row.path, row.access, FILE_SHARE_READ, row.disposition);
        DWORD error = GetLastError();
        line(row.id,
             "CreateFileW(" + text(row.path) + "," + hex(row.access) + "," + num(row.disposition) +
                 ")",
             handle(h), error);
        closeIfOpen(h);
        writeText(kFile, "hello", 5);
        DeleteFileW(kNew);
    }
}

// One handle open, then a second open: the share rule both ways.
struct ShareRow {
    const char* id;
    DWORD firstAccess, firstShare;
    DWORD secondAccess, secondShare, secondDisposition;
};

const ShareRow kShares[] = {
    {"file.share.writer-then-reader", W, FILE_SHARE_READ, R, FILE_SHARE_READ, OPEN_EXISTING},
    {"file.share.writer-then-reader-sharing-write", W, FILE_SHARE_READ, R,
     FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING},
    {"file.share.reader-then-overwrite", R, FILE_SHARE_READ, W, FILE_SHARE_READ, CREATE_ALWAYS},
    {"file.share.reader-then-reader", R, FILE_SHARE_READ, R, FILE_SHARE_READ, OPEN_EXISTING},
    {"file.share.all-then-writer", R, kShareAll, W, kShareAll, OPEN_EXISTING},
    {"file.share.exclusive-then-reader", R, 0, R, kShareAll, OPEN_EXISTING},
    {"file.share.exclusive-then-attributes", R, 0, 0, 0, OPEN_EXISTING},
};

void shareCases() {
    for (const ShareRow& row : kShares) {
        HANDLE first = open(kFile, row.firstAccess, row.firstShare, OPEN_EXISTING);
        poison();
        HANDLE second =
            open(L"C:\\CONF\\file.txt", row.secondAccess, row.secondShare, row.secondDisposition);
        DWORD error = GetLastError();
        line(row.id,
             "CreateFileW(held " + hex(row.firstAccess) + "/" + hex(row.firstShare) + "; " +
                 hex(row.secondAccess) + "/" + hex(row.secondShare) + ")",
             handle(second), error);
        closeIfOpen(second);
        closeIfOpen(first);
    }
}

void attributes(const char* id, const WCHAR* path) {
    poison();
    DWORD attributes = GetFileAttributesW(path);
    DWORD error = GetLastError();
    line(id, "GetFileAttributesW(" + text(path) + ")", hex(attributes), error);
}

void remove(const char* id, const WCHAR* path) {
    poison();
    BOOL ok = DeleteFileW(path);
    DWORD error = GetLastError();
    line(id, "DeleteFileW(" + text(path) + ")", flag(ok), error);
}

void deleteCases() {
    remove("file.delete.missing", L"C:\\conf\\none.txt");
    remove("file.delete.missing-dir", L"C:\\none\\file.txt");
    remove("file.delete.directory", L"C:\\conf\\bin");
    remove("file.delete.read-only", kReadOnly);
    HANDLE reader = open(kFile, R, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    remove("file.delete.open-without-share-delete", kFile);
    CloseHandle(reader);

    // A holder that shares delete: the file is delete-pending until it closes.
    HANDLE holder = open(kFile, R, kShareAll, OPEN_EXISTING);
    remove("file.delete.shared", kFile);
    attributes("file.delete.pending-attributes", kFile);
    poison();
    HANDLE reopened = open(kFile, R, kShareAll, OPEN_EXISTING);
    DWORD error = GetLastError();
    line("file.delete.pending-open", "CreateFileW(pending)", handle(reopened), error);
    closeIfOpen(reopened);
    CloseHandle(holder);
    attributes("file.delete.pending-gone", kFile);
    writeText(kFile, "hello", 5);
    remove("file.delete.plain", kFile);
    writeText(kFile, "hello", 5);
}

void attributeCases() {
    attributes("file.attr.file", kFile);
    attributes("file.attr.read-only", kReadOnly);
    attributes("file.attr.directory", L"C:\\conf\\bin");
    attributes("file.attr.root", L"C:\\");
    attributes("file.attr.nt-prefix", L"\\??\\C:\\conf\\file.txt");
    attributes("file.attr.missing", L"C:\\conf\\none.txt");
    attributes("file.attr.missing-dir", L"C:\\none\\none.txt");
}

void ioCases() {
    const WCHAR path[] = L"C:\\conf\\io.bin";
    static char data[10000];
    HANDLE out = open(path, W, 0, CREATE_ALWAYS);
    DWORD written = kPoison;
    poison();
    BOOL ok = WriteFile(out, data, sizeof data, &written, nullptr);
    DWORD error = GetLastError();
    line("file.write.block", "WriteFile(10000)", flag(ok), error, "written=" + num(written));
    CloseHandle(out);

    HANDLE in = open(path, R, FILE_SHARE_READ, OPEN_EXISTING);
    for (const char* id : {"file.read.first", "file.read.rest", "file.read.at-end"}) {
        char buffer[8192];
        DWORD read = kPoison;
        poison();
        ok = ReadFile(in, buffer, sizeof buffer, &read, nullptr);
        error = GetLastError();
        line(id, "ReadFile(8192)", flag(ok), error, "read=" + num(read));
    }
    written = kPoison;
    poison();
    ok = WriteFile(in, "x", 1, &written, nullptr);
    error = GetLastError();
    line("file.write.read-handle", "WriteFile(reader)", flag(ok), error, "written=" + num(written));
    CloseHandle(in);
    poison();
    ok = CloseHandle(in);
    error = GetLastError();
    line("file.close.twice", "CloseHandle(closed)", flag(ok), error);
    DeleteFileW(path);
}

// PendingFileRenameOperations as the session manager will read it.
void showPending(const char* id) {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                  KEY_READ, &key);
    BYTE data[2048];
    DWORD type = kPoison;
    DWORD size = sizeof data;
    LSTATUS status =
        RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, data, &size);
    line(id, "RegQueryValueExW(PendingFileRenameOperations)", num(status), kPoison,
         "type=" + num(type) + " size=" + num(size) +
             " data=" + (status ? "-" : wideBytes(data, size)));
    RegCloseKey(key);
}

struct MoveRow {
    const char* id;
    const WCHAR* from;
    const WCHAR* to;
    DWORD flags;
};

const MoveRow kMoves[] = {
    {"file.boot.delete", L"C:\\conf\\file12.txt", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT},
    {"file.boot.delete-odd-path", L"c:/conf/../conf/file2.txt", nullptr,
     MOVEFILE_DELAY_UNTIL_REBOOT},
    {"file.boot.replace", L"C:\\conf\\new.dll", L"C:\\Windows\\system32\\port.dll",
     MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING},
    {"file.boot.delete-again", L"C:\\conf\\file12.txt", nullptr, MOVEFILE_DELAY_UNTIL_REBOOT},
    {"file.boot.copy-allowed", L"C:\\conf\\a.txt", L"C:\\conf\\b.txt",
     MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_COPY_ALLOWED},
};

void bootCases() {
    for (const MoveRow& row : kMoves) {
        poison();
        BOOL ok = MoveFileExW(row.from, row.to, row.flags);
        DWORD error = GetLastError();
        line(row.id,
             "MoveFileExW(" + text(row.from) + "," + text(row.to) + "," + hex(row.flags) + ")",
             flag(ok), error);
    }
    showPending("file.boot.value");
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                  KEY_SET_VALUE, &key);
    RegDeleteValueW(key, L"PendingFileRenameOperations");
    RegCloseKey(key);
}

} // namespace

void fileCases() {
    writeText(kFile, "hello", 5);
    writeText(kReadOnly, "locked", 6, FILE_ATTRIBUTE_READONLY);
    openCases();
    shareCases();
    deleteCases();
    attributeCases();
    ioCases();
    bootCases();
}

} // namespace conformance
