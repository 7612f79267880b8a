#include "kernel_handles.h"

#include "machine.h"

namespace winsim {

// Multiples of 4 from 0x100 up, as Windows numbers handles: never null and never
// INVALID_HANDLE_VALUE.
HANDLE newKernelHandle() {
    static uintptr_t next = 0x100;
    next += 4;
    return reinterpret_cast<HANDLE>(next);
}

HANDLE Programs::addHandle(ObjectKind kind, uint64_t id) {
    HANDLE handle = newKernelHandle();
    handles_[reinterpret_cast<uintptr_t>(handle)] = {kind, id};
    return handle;
}

const KernelObject* Programs::object(HANDLE handle) const {
    auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
    return it == handles_.end() ? nullptr : &it->second;
}

// Closing a process or thread handle leaves the program running; closing the last handle
// of a mutex destroys it, even while the installer owns it.
bool Programs::closeHandle(HANDLE handle) {
    auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
    if (it == handles_.end()) {
        return false;
    }
    const KernelObject object = it->second;
    handles_.erase(it);
    if (object.kind == ObjectKind::mutex) {
        --mutex(object.id)->installerHandles;
        forgetIfUnused(object.id);
    }
    return true;
}

} // namespace winsim

BOOL WINAPI CloseHandle(HANDLE hObject) {
    winsim::Machine& m = winsim::machine();
    if (m.files.closeHandle(hObject) || m.programs.closeHandle(hObject)) {
        return TRUE;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
