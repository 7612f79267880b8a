#include "machine.h"

namespace {

// The only flags Windows accepts here.
constexpr DWORD kSearchFlags = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS |
                               LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;

} // namespace

// The simulated process loads no DLL; the flags are only kept for tests to read back.
BOOL WINAPI SetDefaultDllDirectories(DWORD DirectoryFlags) {
    if (DirectoryFlags == 0 || (DirectoryFlags & ~kSearchFlags) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    winsim::machine().programs.dllDirectories = DirectoryFlags;
    return TRUE;
}
