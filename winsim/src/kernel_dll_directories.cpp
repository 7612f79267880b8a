#include <windows.h>

namespace {

// LOAD_LIBRARY_SEARCH_APPLICATION_DIR, _USER_DIRS, _SYSTEM32 and _DEFAULT_DIRS: the only
// flags Windows accepts here. The simulated process loads no DLL, so nothing else changes.
constexpr DWORD kSearchFlags = 0x00000200 | 0x00000400 | LOAD_LIBRARY_SEARCH_SYSTEM32 | 0x00001000;

} // namespace

BOOL WINAPI SetDefaultDllDirectories(DWORD DirectoryFlags) {
    if (DirectoryFlags == 0 || (DirectoryFlags & ~kSearchFlags) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
