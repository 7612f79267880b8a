// Copying a product file from the program's directory, with a wait for a locked target.
#pragma once

#include <windows.h>

struct InstallContext;

// Opens path for writing (CREATE_ALWAYS, others may read): at most 100 attempts 50 ms
// apart; gives up with "CreateFile - timeout" once more than 10 s of ticks have passed.
// Returns INVALID_HANDLE_VALUE when the target stays locked.
HANDLE openForWriteWithTimeout(InstallContext& context, const WCHAR* path);

// Copies fileName from the program's directory into targetDir. When outTargetPath is given,
// the full target path is written there (outCapacity characters, NUL included) before any
// file is opened; a path that does not fit fails the copy. Returns S_OK, or E_FAIL when a
// file could not be opened or the copy broke off. A target the broken copy had created is
// deleted, or left on the context's deferred list when it cannot be; a good copy takes
// its target off that list.
HRESULT copyProductFile(InstallContext& context, const WCHAR* targetDir, const WCHAR* fileName,
                        WCHAR* outTargetPath, size_t outCapacity, bool reportErrors);
