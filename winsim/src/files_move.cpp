#include "files_boot_queue.h"
#include "files_boot_refusals.h"
#include "files_paths.h"
#include "machine.h"
#include "winsim/text.h"

namespace {

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// The session manager wants NT paths: "\??\" in front of the full DOS path.
std::u16string ntPath(const winsim::WindowsPath& path) {
    return winsim::toUtf16("\\??\\" + path.full);
}

} // namespace

// Only the boot-time form exists on the simulated machine: the installer never moves a
// file at once. Scheduling touches the registry alone, so it succeeds for a missing or
// held source; it needs administrator rights to write HKLM. A knob makes the system refuse
// the deletion of chosen files.
BOOL WINAPI MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
    if (!(dwFlags & MOVEFILE_DELAY_UNTIL_REBOOT)) {
        return fail(ERROR_NOT_SUPPORTED);
    }
    if ((dwFlags & MOVEFILE_COPY_ALLOWED) || !lpExistingFileName) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    const winsim::WindowsPath source = winsim::parseWindowsPath(lpExistingFileName);
    if (source.error) {
        return fail(source.error);
    }
    std::u16string target;
    if (lpNewFileName) {
        const winsim::WindowsPath to = winsim::parseWindowsPath(lpNewFileName);
        if (to.error) {
            return fail(to.error);
        }
        target = (dwFlags & MOVEFILE_REPLACE_EXISTING) ? u"!" + ntPath(to) : ntPath(to);
    }
    if (!winsim::machine().settings.administrator) {
        return fail(ERROR_ACCESS_DENIED);
    }
    const DWORD refusal = lpNewFileName ? 0 : winsim::bootDeletionRefusal(source);
    if (refusal) {
        return fail(refusal);
    }
    winsim::queueBootOperation({ntPath(source), target});
    return TRUE;
}
