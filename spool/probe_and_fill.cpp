#include "spool/probe_and_fill.h"

BYTE* allocateQueryBuffer(DWORD needed, SIZE_T slack) {
    // A DWORD size plus a small slack cannot overflow the 64-bit SIZE_T.
    BYTE* block = static_cast<BYTE*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, needed + slack));
    if (block == nullptr) {
        SetLastError(static_cast<DWORD>(E_OUTOFMEMORY));
    }
    return block;
}

void freeQueryBuffer(BYTE* buffer) {
    DWORD lastError = GetLastError();
    GlobalFree(buffer);
    SetLastError(lastError);
}
