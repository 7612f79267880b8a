#include "spooler_files.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "files_paths.h"
#include "machine.h"
#include "winsim/text.h"

namespace winsim::spool {

namespace {

const char kOwner[] = "spooler";

// The spooler is another process: what it does to files must not show in the
// installer's last error.
class KeepLastError {
  public:
    KeepLastError() : saved_(machine().lastError) {}
    ~KeepLastError() { machine().lastError = saved_; }
    DWORD now() const { return machine().lastError; }

  private:
    DWORD saved_;
};

bool isImage(const std::string& path) {
    const std::string name = foldCase(fileNamePart(path));
    for (const char* ext : {".dll", ".exe", ".drv"}) {
        const std::string e = ext;
        if (name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0) {
            return true;
        }
    }
    return false;
}

DWORD copyOpenFiles(HANDLE from, HANDLE to) {
    BYTE chunk[64 * 1024];
    DWORD got = 0;
    while (ReadFile(from, chunk, sizeof chunk, &got, nullptr)) {
        DWORD put = 0;
        if (got == 0) {
            return 0;
        }
        if (!WriteFile(to, chunk, got, &put, nullptr) || put != got) {
            return GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        }
    }
    return GetLastError();
}

} // namespace

std::string systemDirectory() {
    return kSystemDirectory;
}

std::string modulePath(const std::string& dll) {
    const bool hasDirectory = dll.find_first_of("\\/:") != std::string::npos;
    return hasDirectory ? dll : systemDirectory() + "\\" + dll;
}

std::string fileNamePart(const std::string& path) {
    const size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool fileExists(const std::string& path) {
    return locate(parseWindowsPath(path)).state == PathState::File;
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    const HostLocation location = locate(parseWindowsPath(path));
    if (location.state != PathState::File) {
        return false;
    }
    std::ifstream in(location.host, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return static_cast<bool>(in) || in.eof();
}

DWORD copyFile(const std::string& from, const std::string& to) {
    KeepLastError keep;
    const std::u16string source = toUtf16(from);
    const std::u16string target = toUtf16(to);
    HANDLE in =
        CreateFileW(wz(source), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
        return keep.now();
    }
    HANDLE out = CreateFileW(wz(target), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        const DWORD error = keep.now();
        CloseHandle(in);
        return error;
    }
    const DWORD error = copyOpenFiles(in, out);
    CloseHandle(out);
    CloseHandle(in);
    return error;
}

DWORD deleteFile(const std::string& path) {
    KeepLastError keep;
    const std::u16string target = toUtf16(path);
    return DeleteFileW(wz(target)) ? 0 : keep.now();
}

void createDirectories(const std::string& path) {
    const WindowsPath parsed = parseWindowsPath(path);
    WindowsPath step = parseWindowsPath(std::string("C:\\"));
    for (const std::string& component : parsed.components) {
        step = parseWindowsPath(step.full + (step.components.empty() ? "" : "\\") + component);
        const HostLocation location = locate(step);
        if (location.state == PathState::Missing) {
            mkdir(location.host.c_str(), 0777);
        }
    }
}

void deleteAtReboot(const std::string& path) {
    KeepLastError keep;
    const std::u16string target = toUtf16(path);
    MoveFileExW(wz(target), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// A mapped image lets others open it for deleting (the delete itself then fails with 5)
// but not for writing (32); a file held open for reading refuses both (32).
void holdFile(const std::string& path) {
    if (!fileExists(path)) {
        return;
    }
    if (isImage(path)) {
        machine().files.holdFile(path, kOwner, GENERIC_READ | GENERIC_EXECUTE,
                                 FILE_SHARE_READ | FILE_SHARE_DELETE, true);
    } else {
        machine().files.holdFile(path, kOwner, GENERIC_READ, FILE_SHARE_READ, false);
    }
}

void releaseFile(const std::string& path) {
    machine().files.releaseHold(path, kOwner);
}

} // namespace winsim::spool
