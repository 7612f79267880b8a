#include <unistd.h>

#include "files_paths.h"
#include "machine.h"

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
    winsim::machine().files.settle();
    const winsim::WindowsPath path = winsim::parseWindowsPath(lpFileName);
    if (path.error) {
        SetLastError(path.error);
        return INVALID_FILE_ATTRIBUTES;
    }
    switch (winsim::locate(path).state) {
    case winsim::PathState::ParentMissing:
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    case winsim::PathState::Missing:
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    case winsim::PathState::Directory:
        return FILE_ATTRIBUTE_DIRECTORY | winsim::machine().files.extraAttributes(path.key);
    case winsim::PathState::File:
        break;
    }
    // A file written by anyone gets the archive bit; a delete-pending file is still found.
    return FILE_ATTRIBUTE_ARCHIVE | winsim::machine().files.extraAttributes(path.key);
}
