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

} // namespace winsim

BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (winsim::machine().files.closeHandle(hObject)) {
        return TRUE;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
