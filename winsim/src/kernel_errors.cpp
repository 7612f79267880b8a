#include "machine.h"

DWORD WINAPI GetLastError(void) {
    return winsim::machine().lastError;
}

void WINAPI SetLastError(DWORD dwErrCode) {
    winsim::machine().lastError = dwErrCode;
}
