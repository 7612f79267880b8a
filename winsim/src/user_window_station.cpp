// The window station the program runs on: the interactive one, visible to the person at the
// machine, unless a knob makes it a service's, which no one sees.
#include <cstring>

#include "kernel_handles.h"
#include "user_model.h"

namespace {

const DWORD kNoAccess = 998; // ERROR_NOACCESS: the buffer cannot be written

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

// One handle for the life of the process, never to be closed.
HWINSTA WINAPI GetProcessWindowStation(void) {
    static const HANDLE station = winsim::newKernelHandle();
    return static_cast<HWINSTA>(station);
}

// Only the flags are kept. Too small a buffer fails with ERROR_INSUFFICIENT_BUFFER as on
// Windows (Wine answers ERROR_BUFFER_OVERFLOW), with the size needed reported either way.
BOOL WINAPI GetUserObjectInformationW(HANDLE hObj, int nIndex, PVOID pvInfo, DWORD nLength,
                                      LPDWORD lpnLengthNeeded) {
    if (hObj != GetProcessWindowStation()) {
        return fail(ERROR_INVALID_HANDLE);
    }
    if (nIndex != UOI_FLAGS) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (lpnLengthNeeded) {
        *lpnLengthNeeded = sizeof(USEROBJECTFLAGS);
    }
    if (nLength < sizeof(USEROBJECTFLAGS)) {
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    if (!pvInfo) {
        return fail(kNoAccess);
    }
    USEROBJECTFLAGS flags = {};
    flags.dwFlags = winsim::userSession().stationVisible ? WSF_VISIBLE : 0;
    std::memcpy(pvInfo, &flags, sizeof flags);
    return TRUE;
}
