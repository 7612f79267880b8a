#include "spool/file_build_number.h"

#include <windows.h>
#include <winver.h>

namespace {

// Only the product version's last component counts: a.b.c.d yields d.
int buildOf(const void* versionBlock) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(versionBlock, L"\\", reinterpret_cast<LPVOID*>(&fixed), &length) ||
        fixed == nullptr || length < sizeof(VS_FIXEDFILEINFO)) {
        return -1;
    }
    return static_cast<int>(fixed->dwProductVersionLS & 0xFFFF);
}

} // namespace

int fileBuildNumber(const WCHAR* path) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) {
        return -1;
    }
    void* block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size);
    if (block == nullptr) {
        return -1;
    }
    int build = -1;
    if (GetFileVersionInfoW(path, handle, size, block)) {
        build = buildOf(block);
    }
    GlobalFree(block);
    return build;
}
