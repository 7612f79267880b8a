// Shorthands for the file tests: Windows paths as UTF-8, opens with the usual arguments.
#pragma once

#include <windows.h>

#include <string>

#include "winsim/control.h"
#include "winsim/text.h"

inline HANDLE openFile(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    const std::u16string wide = winsim::toUtf16(path);
    return CreateFileW(winsim::wz(wide), access, share, nullptr, disposition, 0, nullptr);
}

inline BOOL deleteFile(const std::string& path) {
    const std::u16string wide = winsim::toUtf16(path);
    return DeleteFileW(winsim::wz(wide));
}

inline DWORD attributesOf(const std::string& path) {
    const std::u16string wide = winsim::toUtf16(path);
    return GetFileAttributesW(winsim::wz(wide));
}

// C:\Data with a plain file, a read-only file and a sub-directory.
inline void writeDataFiles() {
    winsim::control::writeFile("C:\\Data\\file.txt", "hello");
    winsim::control::writeFile("C:\\Data\\ro.txt", "locked");
    winsim::control::setReadOnly("C:\\Data\\ro.txt", true);
    winsim::control::makeDirectory("C:\\Data\\Sub");
}

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
