#include <cstdio>
#include <unistd.h>

#include "files_boot_queue.h"
#include "files_paths.h"
#include "machine.h"
#include "winsim/control.h"
#include "winsim/text.h"

namespace winsim {

namespace {

void deleteAtBoot(const WindowsPath& path) {
    FileSystem& fs = machine().files;
    const HostLocation location = locate(path);
    if (location.state == PathState::Directory) {
        ::rmdir(location.host.c_str()); // only an empty directory goes
    } else if (location.state == PathState::File &&
               !(fs.extraAttributes(path.key) & FILE_ATTRIBUTE_READONLY)) {
        fs.removeFile(path.key, location.host);
    }
}

void renameAtBoot(const WindowsPath& source, const std::string& target) {
    FileSystem& fs = machine().files;
    const bool replace = !target.empty() && target[0] == '!';
    const WindowsPath to = parseWindowsPath(replace ? target.substr(1) : target);
    const HostLocation from = locate(source);
    const HostLocation destination = locate(to);
    const bool free = destination.state == PathState::Missing ||
                      (replace && destination.state == PathState::File &&
                       !(fs.extraAttributes(to.key) & FILE_ATTRIBUTE_READONLY));
    if (to.error || from.state != PathState::File || !free) {
        return;
    }
    if (std::rename(from.host.c_str(), destination.host.c_str()) == 0) {
        const DWORD attributes = fs.extraAttributes(source.key);
        fs.forgetAttributes(source.key);
        fs.setExtraAttributes(to.full, attributes);
    }
}

} // namespace

} // namespace winsim

namespace winsim::control {

// Nothing runs during boot that could hold a file, so every hold of another process is gone
// before the session manager works through the queue; an operation that fails is skipped.
// The automatic services (the spooler among them) start once the queue is done.
void reboot() {
    machine().services.shutDown();
    machine().programs.reboot();
    machine().files.releaseAllHolds();
    for (const BootOperation& operation : queuedBootOperations()) {
        const WindowsPath source = parseWindowsPath(toUtf8(operation.first));
        if (source.error) {
            continue;
        }
        if (operation.second.empty()) {
            deleteAtBoot(source);
        } else {
            renameAtBoot(source, toUtf8(operation.second));
        }
    }
    clearBootOperations();
    machine().services.bootUp();
}

} // namespace winsim::control
