#include "version_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "machine.h"
#include "winsim/text.h"

namespace winsim {

namespace {

namespace fs = std::filesystem;

constexpr DWORD kBadPathname = 161; // ERROR_BAD_PATHNAME: an empty path

bool isSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

// The components after "C:\", with "." dropped and ".." applied. False for a path that is
// not an absolute path on drive C:.
bool componentsOnDriveC(const std::u16string& path, std::vector<std::string>* components) {
    if (path.size() < 3 || (path[0] != u'C' && path[0] != u'c') || path[1] != u':' ||
        !isSeparator(path[2])) {
        return false;
    }
    std::u16string part;
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i < path.size() && !isSeparator(path[i])) {
            part.push_back(path[i]);
            continue;
        }
        if (part == u"..") {
            if (!components->empty()) {
                components->pop_back();
            }
        } else if (!part.empty() && part != u".") {
            components->push_back(toUtf8(part));
        }
        part.clear();
    }
    return true;
}

// The entry of dir whose name equals name without regard to case, or an empty path.
fs::path findEntry(const fs::path& dir, const std::string& name) {
    std::error_code error;
    if (fs::exists(dir / name, error)) {
        return dir / name;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
        if (sameNameIgnoringCase(entry.path().filename().string(), name)) {
            return entry.path();
        }
    }
    return fs::path();
}

fs::path driveC() {
    return fs::path(machine().hostDir) / "drive_c";
}

} // namespace

FileBytes readMachineFile(const std::u16string& windowsPath) {
    FileBytes file;
    std::vector<std::string> components;
    if (windowsPath.empty()) {
        file.error = kBadPathname;
        return file;
    }
    if (!componentsOnDriveC(windowsPath, &components)) {
        file.error = ERROR_PATH_NOT_FOUND;
        return file;
    }
    fs::path host = driveC();
    std::error_code error;
    for (size_t i = 0; i < components.size(); ++i) {
        bool last = i + 1 == components.size();
        host = findEntry(host, components[i]);
        if (host.empty() || (!last && !fs::is_directory(host, error))) {
            file.error = last ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
            return file;
        }
    }
    std::ifstream in(host, std::ios::binary);
    if (fs::is_directory(host, error) || !in) {
        file.error = ERROR_ACCESS_DENIED;
        return file;
    }
    file.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return file;
}

bool writeMachineFile(const std::u16string& windowsPath, const std::vector<uint8_t>& bytes) {
    std::vector<std::string> components;
    if (!componentsOnDriveC(windowsPath, &components) || components.empty()) {
        return false;
    }
    fs::path host = driveC();
    for (const std::string& component : components) {
        fs::path existing = findEntry(host, component);
        host = existing.empty() ? host / component : existing;
    }
    std::error_code error;
    fs::create_directories(host.parent_path(), error);
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace winsim
