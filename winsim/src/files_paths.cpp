#include "files_paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include "machine.h"
#include "winsim/text.h"

namespace winsim {

namespace {

std::string stripDrivePrefix(const std::string& path) {
    std::string p = path;
    for (char& c : p) {
        if (c == '/') {
            c = '\\';
        }
    }
    if (p.compare(0, 4, "\\??\\") == 0) {
        p.erase(0, 4);
    }
    return p;
}

bool hasReservedCharacter(const std::string& name) {
    return name.find_first_of("<>:\"|?*") != std::string::npos;
}

std::vector<std::string> splitComponents(const std::string& rest, DWORD& error) {
    std::vector<std::string> components;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string::npos) {
            end = rest.size();
        }
        std::string name = rest.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".") {
            continue;
        }
        if (name == "..") {
            if (!components.empty()) {
                components.pop_back();
            }
            continue;
        }
        if (hasReservedCharacter(name)) {
            error = ERROR_INVALID_NAME;
        }
        components.push_back(name);
    }
    return components;
}

bool isDirectory(const std::string& host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0;
}

// The entry of `directory` whose name equals `name` without regard to case; an exact
// match wins should the host hold two spellings.
std::string findEntry(const std::string& directory, const std::string& name) {
    if (exists(directory + "/" + name)) {
        return name;
    }
    std::string found;
    if (DIR* dir = opendir(directory.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (sameNameIgnoringCase(entry->d_name, name)) {
                found = entry->d_name;
                break;
            }
        }
        closedir(dir);
    }
    return found;
}

} // namespace

std::string driveRoot() {
    return machine().hostDir + "/drive_c";
}

WindowsPath parseWindowsPath(const std::string& utf8) {
    WindowsPath path;
    const std::string p = stripDrivePrefix(utf8);
    const bool absolute = p.size() >= 2 && p[1] == ':' && (p.size() == 2 || p[2] == '\\');
    if (!absolute || (p[0] != 'C' && p[0] != 'c')) {
        path.error = ERROR_PATH_NOT_FOUND;
        return path;
    }
    path.components = splitComponents(p.substr(2), path.error);
    path.full = p.substr(0, 2);
    for (const std::string& name : path.components) {
        path.full += "\\" + name;
    }
    if (path.components.empty()) {
        path.full += "\\";
    }
    path.key = foldCase(path.full);
    return path;
}

WindowsPath parseWindowsPath(LPCWSTR path) {
    if (!path) {
        WindowsPath none;
        none.error = ERROR_PATH_NOT_FOUND;
        return none;
    }
    return parseWindowsPath(toUtf8(path));
}

HostLocation locate(const WindowsPath& path) {
    HostLocation location;
    std::string host = driveRoot();
    for (size_t i = 0; i < path.components.size(); ++i) {
        const bool last = i + 1 == path.components.size();
        std::string entry = findEntry(host, path.components[i]);
        if (entry.empty()) {
            location.state = last ? PathState::Missing : PathState::ParentMissing;
            location.host = host + "/" + path.components[i];
            return location;
        }
        host += "/" + entry;
        if (!last && !isDirectory(host)) {
            location.state = PathState::ParentMissing;
            location.host = host;
            return location;
        }
    }
    location.host = host;
    location.state = isDirectory(host) ? PathState::Directory : PathState::File;
    return location;
}

} // namespace winsim

namespace winsim {

DWORD existingFileRefusal(const WindowsPath& path, const HostLocation& location,
                          const FileUse& use) {
    FileSystem& files = machine().files;
    switch (location.state) {
    case PathState::ParentMissing:
        return ERROR_PATH_NOT_FOUND;
    case PathState::Missing:
        return ERROR_FILE_NOT_FOUND;
    case PathState::Directory:
        return ERROR_ACCESS_DENIED;
    case PathState::File:
        break;
    }
    if (files.isDeletePending(path.key)) {
        return ERROR_ACCESS_DENIED;
    }
    return files.shareConflict(path.key, use);
}

} // namespace winsim
