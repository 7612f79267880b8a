// Files whose deletion at boot the system refuses to queue: a fault a clean machine never
// shows, set by a knob and saved with the machine (state.txt).
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "files_paths.h"

namespace winsim {

struct BootDeletionRefusal {
    std::string path; // as the knob named it
    DWORD error = 0;
};

std::vector<BootDeletionRefusal>& bootDeletionRefusals();
// The error MoveFileExW fails with when asked to delete `path` at boot, or 0.
DWORD bootDeletionRefusal(const WindowsPath& path);

} // namespace winsim
