#include <cstring>

#include "machine.h"
#include "winsim/text.h"

namespace winsim {

const char kSystemDirectory[] = "C:\\Windows\\system32";

} // namespace winsim

// Every module handle names the program itself: the simulated process loads no other
// module whose path the installer could ask for.
DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    (void)hModule;
    const std::u16string path = winsim::toUtf16(winsim::machine().settings.programPath);
    if (nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() < nSize) {
        std::memcpy(lpFilename, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
        return static_cast<DWORD>(path.size());
    }
    // Too small: Windows (Vista and later) stores a cut, terminated path, returns the buffer
    // size and reports ERROR_INSUFFICIENT_BUFFER.
    std::memcpy(lpFilename, path.c_str(), (nSize - 1) * sizeof(WCHAR));
    lpFilename[nSize - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}

// Too small a buffer gets nothing; the result is then the size needed, terminator included.
UINT WINAPI GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    if (const DWORD error = winsim::machine().settings.systemDirectoryError) {
        SetLastError(error);
        return 0;
    }
    const std::u16string path = winsim::toUtf16(winsim::kSystemDirectory);
    if (uSize < path.size() + 1) {
        return static_cast<UINT>(path.size() + 1);
    }
    std::memcpy(lpBuffer, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    return static_cast<UINT>(path.size());
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
    const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const winsim::MachineSettings& settings = winsim::machine().settings;
    std::memset(reinterpret_cast<BYTE*>(lpVersionInformation) + sizeof(DWORD), 0,
                size - sizeof(DWORD));
    lpVersionInformation->dwMajorVersion = settings.osMajor;
    lpVersionInformation->dwMinorVersion = settings.osMinor;
    lpVersionInformation->dwBuildNumber = settings.osBuild;
    lpVersionInformation->dwPlatformId = settings.osPlatform;
    if (size == sizeof(OSVERSIONINFOEXA)) {
        reinterpret_cast<LPOSVERSIONINFOEXA>(lpVersionInformation)->wProductType =
            VER_NT_WORKSTATION;
    }
    return TRUE;
}

static_assert(sizeof(OSVERSIONINFOA) == 148, "dwOSVersionInfoSize of the basic structure");
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "dwOSVersionInfoSize of the extended structure");
