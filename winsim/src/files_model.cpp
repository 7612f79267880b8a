#include "files_model.h"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "files_paths.h"
#include "kernel_handles.h"
#include "machine.h"
#include "winsim/text.h"

namespace winsim {

namespace {

// The access bits that count in the share check, after the generic rights are mapped.
const DWORD kReadData = 0x0001 | 0x0020;  // FILE_READ_DATA, FILE_EXECUTE
const DWORD kWriteData = 0x0002 | 0x0004; // FILE_WRITE_DATA, FILE_APPEND_DATA

const char* const kFreshDirectories[] = {
    "Windows/system32",
    "Windows/system32/spool/DRIVERS/x64/3",
    "Program Files/Folioscope",
};

bool usesData(const FileUse& use) {
    return readsData(use.access) || writesData(use.access) || deletes(use.access);
}

// An opener that asks for no data access (attributes only) takes no part in sharing: NT
// neither checks nor records its share mode.
bool conflicts(const FileUse& existing, const FileUse& wanted) {
    if (!usesData(existing) || !usesData(wanted)) {
        return false;
    }
    const auto refused = [](const FileUse& opener, const FileUse& other) {
        return (readsData(opener.access) && !(other.share & FILE_SHARE_READ)) ||
               (writesData(opener.access) && !(other.share & FILE_SHARE_WRITE)) ||
               (deletes(opener.access) && !(other.share & FILE_SHARE_DELETE));
    };
    return refused(wanted, existing) || refused(existing, wanted);
}

} // namespace

bool readsData(DWORD access) {
    return access & (GENERIC_READ | GENERIC_EXECUTE | GENERIC_ALL | kReadData);
}
bool writesData(DWORD access) {
    return access & (GENERIC_WRITE | GENERIC_ALL | kWriteData);
}
bool deletes(DWORD access) {
    return access & (DELETE | GENERIC_ALL);
}

FileSystem::~FileSystem() {
    closeAll();
}

HANDLE FileSystem::addHandle(OpenFile file) {
    HANDLE handle = newKernelHandle();
    handles_[reinterpret_cast<uintptr_t>(handle)] = std::move(file);
    return handle;
}

OpenFile* FileSystem::file(HANDLE handle) {
    auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
    return it == handles_.end() ? nullptr : &it->second;
}

bool FileSystem::closeHandle(HANDLE handle) {
    auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == handles_.end()) {
        return false;
    }
    if (it->second.fd >= 0) {
        ::close(it->second.fd);
    }
    const OpenFile closed = it->second;
    handles_.erase(it);
    auto scanner = holdAfterWrite.find(closed.key);
    if (scanner != holdAfterWrite.end() && writesData(closed.use.access)) {
        // A scanner reads the new file and lets others read and write it, not delete it.
        holdFile(scanner->second.first, scanner->second.second, GENERIC_READ,
                 FILE_SHARE_READ | FILE_SHARE_WRITE, false);
        holdAfterWrite.erase(scanner);
    }
    settle();
    return true;
}

void FileSystem::holdFile(const std::string& path, const std::string& owner, DWORD access,
                          DWORD share, bool image, uint64_t forMs, unsigned refusals) {
    FileHold hold;
    hold.path = path;
    hold.key = parseWindowsPath(path).key;
    hold.owner = owner;
    // The loader opens an image sharing read and delete, so what refuses a deletion is the
    // mapping (5), never the share mode (32).
    hold.use = {access, image ? share | FILE_SHARE_DELETE : share};
    hold.image = image;
    hold.untilMs = forMs ? machine().clockMs + forMs : 0;
    hold.refusalsLeft = refusals;
    holds_.push_back(hold);
}

void FileSystem::releaseHolds(const std::string& owner) {
    std::vector<FileHold> kept;
    for (const FileHold& hold : holds_) {
        if (hold.owner != owner) {
            kept.push_back(hold);
        }
    }
    holds_.swap(kept);
    settle();
}

void FileSystem::releaseHold(const std::string& path, const std::string& owner) {
    const std::string key = parseWindowsPath(path).key;
    std::vector<FileHold> kept;
    for (const FileHold& hold : holds_) {
        if (hold.owner != owner || hold.key != key) {
            kept.push_back(hold);
        }
    }
    holds_.swap(kept);
    settle();
}

void FileSystem::deleteRefused(const std::string& key) {
    std::vector<FileHold> kept;
    for (FileHold& hold : holds_) {
        if (hold.key != key || hold.refusalsLeft == 0 || --hold.refusalsLeft > 0) {
            kept.push_back(hold);
        }
    }
    holds_.swap(kept);
}

void FileSystem::releaseAllHolds() {
    holds_.clear();
    settle();
}

DWORD FileSystem::shareConflict(const std::string& key, const FileUse& use) {
    settle();
    for (const auto& entry : handles_) {
        if (entry.second.key == key && conflicts(entry.second.use, use)) {
            return ERROR_SHARING_VIOLATION;
        }
    }
    for (const FileHold& hold : holds_) {
        if (hold.key == key && conflicts(hold.use, use)) {
            return ERROR_SHARING_VIOLATION;
        }
    }
    return 0;
}

bool FileSystem::isImageMapped(const std::string& key) {
    settle();
    for (const FileHold& hold : holds_) {
        if (hold.key == key && hold.image) {
            return true;
        }
    }
    return false;
}

bool FileSystem::hasOpeners(const std::string& key) {
    for (const auto& entry : handles_) {
        if (entry.second.key == key) {
            return true;
        }
    }
    for (const FileHold& hold : holds_) {
        if (hold.key == key) {
            return true;
        }
    }
    return false;
}

DWORD FileSystem::extraAttributes(const std::string& key) const {
    auto it = attributes_.find(key);
    return it == attributes_.end() ? 0 : it->second.second;
}

void FileSystem::setExtraAttributes(const std::string& path, DWORD attributes) {
    const std::string key = parseWindowsPath(path).key;
    if (attributes) {
        attributes_[key] = {path, attributes};
    } else {
        attributes_.erase(key);
    }
}

void FileSystem::forgetAttributes(const std::string& key) {
    attributes_.erase(key);
}

void FileSystem::markDeletePending(const std::string& key, const std::string& host) {
    deletePending_[key] = host;
}

bool FileSystem::isDeletePending(const std::string& key) const {
    return deletePending_.count(key) != 0;
}

void FileSystem::removeFile(const std::string& key, const std::string& host) {
    struct stat st;
    if (diskLimited && ::stat(host.c_str(), &st) == 0) {
        diskFreeBytes += static_cast<uint64_t>(st.st_size);
    }
    ::unlink(host.c_str());
    attributes_.erase(key);
}

void FileSystem::settle() {
    const uint64_t now = machine().clockMs;
    std::vector<FileHold> kept;
    for (const FileHold& hold : holds_) {
        if (!hold.untilMs || now < hold.untilMs) {
            kept.push_back(hold);
        }
    }
    holds_.swap(kept);
    for (auto it = deletePending_.begin(); it != deletePending_.end();) {
        if (hasOpeners(it->first)) {
            ++it;
            continue;
        }
        removeFile(it->first, it->second);
        it = deletePending_.erase(it);
    }
}

void FileSystem::closeAll() {
    for (auto& entry : handles_) {
        if (entry.second.fd >= 0) {
            ::close(entry.second.fd);
        }
    }
    handles_.clear();
}

void FileSystem::reset() {
    closeAll();
    holds_.clear();
    attributes_.clear();
    deletePending_.clear();
    readFaults.clear();
    holdAfterWrite.clear();
    failingOpenCostMs = 0;
    diskLimited = false;
    diskFreeBytes = 0;
    if (machine().hostDir.empty()) {
        return; // no machine directory: nothing on the host to set up
    }
    std::error_code ignored;
    std::filesystem::remove_all(driveRoot(), ignored);
    for (const char* directory : kFreshDirectories) {
        std::filesystem::create_directories(driveRoot() + "/" + directory, ignored);
    }
}

} // namespace winsim
