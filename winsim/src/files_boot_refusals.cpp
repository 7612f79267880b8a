#include "files_boot_refusals.h"

#include <algorithm>

#include "winsim/control.h"

namespace winsim {

std::vector<BootDeletionRefusal>& bootDeletionRefusals() {
    static std::vector<BootDeletionRefusal> refusals;
    return refusals;
}

// Paths match as the file system matches them: case and "." or ".." do not matter.
DWORD bootDeletionRefusal(const WindowsPath& path) {
    for (const BootDeletionRefusal& refusal : bootDeletionRefusals()) {
        if (parseWindowsPath(refusal.path).key == path.key) {
            return refusal.error;
        }
    }
    return 0;
}

} // namespace winsim

namespace winsim::control {

// A path MoveFileExW rejects before asking the system needs no refusal.
void refuseBootDeletion(const std::string& windowsPath, uint32_t error) {
    std::vector<BootDeletionRefusal>& refusals = bootDeletionRefusals();
    const WindowsPath path = parseWindowsPath(windowsPath);
    if (path.error) {
        return;
    }
    const std::string& key = path.key;
    refusals.erase(std::remove_if(refusals.begin(), refusals.end(),
                                  [&key](const BootDeletionRefusal& refusal) {
                                      return parseWindowsPath(refusal.path).key == key;
                                  }),
                   refusals.end());
    if (error != 0) {
        refusals.push_back({windowsPath, error});
    }
}

} // namespace winsim::control
