#include "files_paths.h"
#include "machine.h"

namespace {

// The order follows NT: the open for DELETE fails on a pending deletion (5) or a share
// conflict (32); marking the open file for deletion then fails on a read-only file or a
// mapped image (5).
DWORD deleteRefusal(const winsim::WindowsPath& path, const winsim::HostLocation& location) {
    winsim::FileSystem& fs = winsim::machine().files;
    const winsim::FileUse deleteUse{DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE};
    if (DWORD error = winsim::existingFileRefusal(path, location, deleteUse)) {
        return error;
    }
    if ((fs.extraAttributes(path.key) & FILE_ATTRIBUTE_READONLY) || fs.isImageMapped(path.key)) {
        return ERROR_ACCESS_DENIED;
    }
    return 0;
}

} // namespace

// With other openers that all share delete, the file is only marked: its name stays until
// the last of them lets go.
BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
    winsim::FileSystem& fs = winsim::machine().files;
    winsim::machine().files.settle();
    const winsim::WindowsPath path = winsim::parseWindowsPath(lpFileName);
    if (path.error) {
        SetLastError(path.error);
        return FALSE;
    }
    const winsim::HostLocation location = winsim::locate(path);
    if (DWORD error = deleteRefusal(path, location)) {
        fs.deleteRefused(path.key);
        SetLastError(error);
        return FALSE;
    }
    if (fs.hasOpeners(path.key)) {
        fs.markDeletePending(path.key, location.host);
    } else {
        fs.removeFile(path.key, location.host);
    }
    return TRUE;
}
