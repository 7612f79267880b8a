// The product's printer driver DLL, the driver and data file of "Folioscope printer". The
// spooler accepts it for a version-3 (user-mode) driver from its version resource and from
// DrvQueryDriverInfo. It renders nothing: DrvEnableDriver declines, so GDI refuses to open a
// device context on the printer cleanly instead of drawing into a half-made surface.
#include <windows.h>

// The graphics-driver header of this toolchain needs DirectDraw headers it lacks, so the
// three entries are declared here.
namespace {

constexpr DWORD kQueryUserMode = 1; // DRVQUERY_USERMODE

} // namespace

extern "C" {

__declspec(dllexport) BOOL APIENTRY
    DrvQueryDriverInfo(DWORD mode, PVOID buffer, DWORD size, PDWORD needed) {
    if (needed != nullptr) {
        *needed = sizeof(DWORD);
    }
    if (mode != kQueryUserMode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (buffer == nullptr || size < sizeof(DWORD)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    *static_cast<DWORD*>(buffer) = TRUE;
    return TRUE;
}

__declspec(dllexport) BOOL APIENTRY DrvEnableDriver(ULONG, ULONG, void*) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

__declspec(dllexport) VOID APIENTRY DrvDisableDriver() {}

} // extern "C"
