#include <filesystem>
#include <fstream>
#include <sstream>

#include "files_paths.h"
#include "machine.h"
#include "winsim/control.h"

namespace winsim::control {

namespace {

// Where a path would be created: existing directories in their host spelling, the rest
// as written.
std::string creationPath(const WindowsPath& path) {
    std::string host = driveRoot();
    for (size_t i = 0; i < path.components.size(); ++i) {
        WindowsPath prefix = path;
        prefix.components.resize(i + 1);
        const HostLocation location = locate(prefix);
        host = location.state == PathState::ParentMissing || location.state == PathState::Missing
                   ? host + "/" + path.components[i]
                   : location.host;
    }
    return host;
}

// A program's hold on a loaded image reads and executes it; other holds read it. Neither
// lets anyone else write.
void hold(const std::string& windowsPath, const std::string& owner, bool image, uint64_t forMs,
          unsigned refusals = 0) {
    const DWORD access = image ? GENERIC_READ | GENERIC_EXECUTE : GENERIC_READ;
    machine().files.holdFile(windowsPath, owner, access, FILE_SHARE_READ, image, forMs, refusals);
}

} // namespace

std::string hostPathOf(const std::string& windowsPath) {
    return creationPath(parseWindowsPath(windowsPath));
}

bool makeDirectory(const std::string& windowsPath) {
    std::error_code error;
    std::filesystem::create_directories(hostPathOf(windowsPath), error);
    return !error;
}

bool writeFile(const std::string& windowsPath, const std::string& bytes) {
    const std::filesystem::path host = hostPathOf(windowsPath);
    std::error_code error;
    std::filesystem::create_directories(host.parent_path(), error);
    std::ofstream out(host, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

std::string readFile(const std::string& windowsPath) {
    const WindowsPath path = parseWindowsPath(windowsPath);
    const HostLocation location = locate(path);
    if (location.state != PathState::File) {
        return std::string();
    }
    std::ifstream in(location.host, std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

bool fileExists(const std::string& windowsPath) {
    return locate(parseWindowsPath(windowsPath)).state == PathState::File;
}

void setReadOnly(const std::string& windowsPath, bool readOnly) {
    FileSystem& fs = machine().files;
    const WindowsPath path = parseWindowsPath(windowsPath);
    DWORD bits = fs.extraAttributes(path.key) & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    fs.setExtraAttributes(path.full, bits | (readOnly ? FILE_ATTRIBUTE_READONLY : 0));
}

void holdFile(const std::string& windowsPath, const std::string& process, bool image,
              uint64_t forMs) {
    hold(windowsPath, process, image, forMs);
}

void holdFileForRefusals(const std::string& windowsPath, const std::string& process, bool image,
                         unsigned refusals) {
    hold(windowsPath, process, image, 0, refusals);
}

void holdFileBySpooler(const std::string& windowsPath, bool image) {
    hold(windowsPath, "spooler", image, 0);
}

void releaseFileHolds(const std::string& process) {
    machine().files.releaseHolds(process);
}

void setFailingOpenCostMs(uint64_t ms) {
    machine().files.failingOpenCostMs = ms;
}

void setDiskFreeBytes(uint64_t bytes) {
    machine().files.diskLimited = true;
    machine().files.diskFreeBytes = bytes;
}

void failReadsAfter(const std::string& windowsPath, uint64_t afterBytes, uint32_t error) {
    machine().files.readFaults[parseWindowsPath(windowsPath).key] = {afterBytes, error};
}

void setAdministrator(bool administrator) {
    machine().settings.administrator = administrator;
}

void holdFileOnceWritten(const std::string& windowsPath, const std::string& process) {
    machine().files.holdAfterWrite[parseWindowsPath(windowsPath).key] = {windowsPath, process};
}

} // namespace winsim::control
