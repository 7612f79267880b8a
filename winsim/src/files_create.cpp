#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files_paths.h"
#include "machine.h"

namespace {

// Attributes a caller can ask a new file to carry; the host cannot keep them.
const DWORD kKeptAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

struct OpenRequest {
    winsim::WindowsPath path;
    winsim::HostLocation location;
    winsim::FileUse use;
    DWORD disposition;
    DWORD attributes;
};

// Each failing open costs the medium's time (a slow network share, a spun-down disk).
HANDLE failOpen(DWORD error) {
    winsim::advanceClock(winsim::machine().files.failingOpenCostMs);
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

uint64_t hostSize(const std::string& host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

// Why an existing file cannot be opened as asked: 0 when it can.
DWORD refusalOfExisting(const OpenRequest& r) {
    winsim::FileSystem& fs = winsim::machine().files;
    if (r.disposition == CREATE_NEW) {
        return ERROR_FILE_EXISTS;
    }
    const DWORD extra = fs.extraAttributes(r.path.key);
    const bool overwrites = r.disposition == CREATE_ALWAYS || r.disposition == TRUNCATE_EXISTING;
    if ((extra & FILE_ATTRIBUTE_READONLY) && (overwrites || winsim::writesData(r.use.access))) {
        return ERROR_ACCESS_DENIED;
    }
    // Overwriting a hidden or system file must ask for those attributes again.
    const DWORD guarded = extra & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (r.disposition == CREATE_ALWAYS && (r.attributes & guarded) != guarded) {
        return ERROR_ACCESS_DENIED;
    }
    if (fs.isDeletePending(r.path.key)) {
        return ERROR_ACCESS_DENIED;
    }
    return fs.shareConflict(r.path.key, r.use);
}

int openHostFile(const OpenRequest& r, bool create) {
    const bool writes = winsim::writesData(r.use.access);
    int flags = writes && winsim::readsData(r.use.access) ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    if (create) {
        flags |= O_CREAT | O_EXCL;
    }
    return ::open(r.location.host.c_str(), flags | O_CLOEXEC, 0644);
}

// Overwriting gives the space of the old contents back to a full disk.
void truncateHostFile(const OpenRequest& r) {
    winsim::FileSystem& fs = winsim::machine().files;
    if (fs.diskLimited) {
        fs.diskFreeBytes += hostSize(r.location.host);
    }
    ::truncate(r.location.host.c_str(), 0);
}

HANDLE openFile(const OpenRequest& r) {
    winsim::FileSystem& fs = winsim::machine().files;
    const bool exists = r.location.state == winsim::PathState::File;
    if (!exists) {
        fs.forgetAttributes(r.path.key);
    } else if (r.disposition == CREATE_ALWAYS || r.disposition == TRUNCATE_EXISTING) {
        truncateHostFile(r);
    }
    const int fd = openHostFile(r, !exists);
    if (fd < 0) {
        return failOpen(ERROR_ACCESS_DENIED);
    }
    if (!exists) {
        fs.setExtraAttributes(r.path.full, r.attributes & kKeptAttributes);
    }
    HANDLE handle = fs.addHandle({r.path.key, r.location.host, r.use, fd});
    // Both dispositions that may find the file report whether they did.
    const bool found = exists && (r.disposition == CREATE_ALWAYS || r.disposition == OPEN_ALWAYS);
    SetLastError(found ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

} // namespace

// A successful open sets the last error to 0 (183 when CREATE_ALWAYS or OPEN_ALWAYS found
// the file), as kernelbase does.
HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
    (void)lpSecurityAttributes;
    (void)hTemplateFile;
    if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING) {
        return failOpen(ERROR_INVALID_PARAMETER);
    }
    winsim::machine().files.settle();
    OpenRequest r{winsim::parseWindowsPath(lpFileName),
                  {},
                  {dwDesiredAccess, dwShareMode},
                  dwCreationDisposition,
                  dwFlagsAndAttributes};
    if (r.path.error) {
        return failOpen(r.path.error);
    }
    r.location = winsim::locate(r.path);
    switch (r.location.state) {
    case winsim::PathState::ParentMissing:
        return failOpen(ERROR_PATH_NOT_FOUND);
    case winsim::PathState::Directory:
        return failOpen(ERROR_ACCESS_DENIED);
    case winsim::PathState::Missing:
        if (r.disposition == OPEN_EXISTING || r.disposition == TRUNCATE_EXISTING) {
            return failOpen(ERROR_FILE_NOT_FOUND);
        }
        break;
    case winsim::PathState::File:
        if (DWORD error = refusalOfExisting(r)) {
            return failOpen(error);
        }
        break;
    }
    return openFile(r);
}
