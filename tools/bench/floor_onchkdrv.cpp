// Floor of "onChkDrv": the printer enumeration, the open, the driver query, the version read.
#include "floor.h"

#include <winver.h>

namespace {

bool driverIsCurrent(HANDLE printer) {
    BYTE* driver = fetch([printer](BYTE* into, DWORD size, DWORD* needed) {
        return GetPrinterDriverW(printer, nullptr, 2, into, size, needed);
    });
    if (driver == nullptr) {
        return false;
    }
    const WCHAR* path = reinterpret_cast<DRIVER_INFO_2W*>(driver)->pDriverPath;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &handle);
    void* block = HeapAlloc(GetProcessHeap(), 0, size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    bool current = block != nullptr && GetFileVersionInfoW(path, handle, size, block) &&
                   VerQueryValueW(block, L"\\", reinterpret_cast<void**>(&fixed), &length) &&
                   (fixed->dwProductVersionLS & 0xFFFF) >= 2044;
    HeapFree(GetProcessHeap(), 0, block);
    HeapFree(GetProcessHeap(), 0, driver);
    return current;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    splitCommandLine();
    BYTE* buffer = nullptr;
    const PRINTER_INFO_2W* printer = firstProductPrinter(buffer);
    HANDLE handle = nullptr;
    bool current = printer != nullptr && OpenPrinterW(printer->pPrinterName, &handle, nullptr) &&
                   driverIsCurrent(handle);
    if (handle != nullptr) {
        ClosePrinter(handle);
    }
    HeapFree(GetProcessHeap(), 0, buffer);
    return current ? 103 : 3;
}
