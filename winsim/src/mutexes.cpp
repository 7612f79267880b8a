// Named mutexes. Names are compared with regard to case. For a program in a user's session,
// "Local\" names the session's namespace, as a name without prefix does, and "Global\" the
// machine's, so "Global\X" and "X" are two mutexes.
#include <cstring>

#include "code_page.h"
#include "machine.h"
#include "programs_model.h"
#include "winsim/text.h"

namespace winsim {

std::string mutexKey(const std::string& name) {
    static const std::string local = "Local\\";
    return name.compare(0, local.size(), local) == 0 ? name.substr(local.size()) : name;
}

uint64_t Programs::findMutex(const std::string& key) const {
    for (const auto& entry : mutexes_) {
        if (!key.empty() && entry.second.name == key) {
            return entry.first;
        }
    }
    return 0;
}

uint64_t Programs::openMutex(const std::string& name, bool* existed) {
    const std::string key = mutexKey(name);
    const uint64_t found = findMutex(key);
    *existed = found != 0;
    if (found) {
        return found;
    }
    mutexes_[nextMutex_].name = key;
    return nextMutex_++;
}

Mutex* Programs::mutex(uint64_t id) {
    auto it = mutexes_.find(id);
    return it == mutexes_.end() ? nullptr : &it->second;
}

void Programs::forgetIfUnused(uint64_t id) {
    auto it = mutexes_.find(id);
    if (it != mutexes_.end() && it->second.installerHandles == 0 && it->second.holders == 0) {
        mutexes_.erase(it);
    }
}

} // namespace winsim

// Ownership asked for is granted only with a new mutex; an existing one is opened as it is.
// The last error tells the two apart (0 or ERROR_ALREADY_EXISTS). A name that another kind
// of object holds gives no handle and ERROR_INVALID_HANDLE.
HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                           LPCWSTR lpName) {
    (void)lpMutexAttributes;
    winsim::Programs& programs = winsim::machine().programs;
    const std::string name = lpName ? winsim::toUtf8(lpName) : "";
    if (!name.empty() && programs.otherObjectNames.count(winsim::mutexKey(name)) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    bool existed = false;
    const uint64_t id = programs.openMutex(name, &existed);
    winsim::Mutex& mutex = *programs.mutex(id);
    ++mutex.installerHandles;
    if (bInitialOwner && !existed) {
        mutex.owner = winsim::kInstallerPid;
        mutex.count = 1;
    }
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return programs.addHandle(winsim::ObjectKind::mutex, id);
}

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                           LPCSTR lpName) {
    if (!lpName) {
        return CreateMutexW(lpMutexAttributes, bInitialOwner, nullptr);
    }
    const std::u16string name = winsim::ansiToUtf16(lpName, std::strlen(lpName));
    return CreateMutexW(lpMutexAttributes, bInitialOwner, winsim::wz(name));
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
    winsim::Programs& programs = winsim::machine().programs;
    const winsim::KernelObject* object = programs.object(hMutex);
    if (!object || object->kind != winsim::ObjectKind::mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    winsim::Mutex& mutex = *programs.mutex(object->id);
    if (mutex.owner != winsim::kInstallerPid) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    if (--mutex.count == 0) {
        mutex.owner = 0;
    }
    return TRUE;
}
