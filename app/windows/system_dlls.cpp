// The spooler client and the version library, taken from the system directory only.
//
// The installer runs elevated, possibly from a folder where other users can write, and
// Windows looks for a statically imported DLL that is not a KnownDLL in the program's own
// folder first: a planted winspool.drv or version.dll would run as administrator. So the
// Windows build does not import them. This file defines every function of theirs that the
// installer calls, under its real name and signature; each loads its DLL with
// LOAD_LIBRARY_SEARCH_SYSTEM32 on first use and passes the call on. When the DLL or the
// export is missing the call fails as its own failure looks (FALSE, 0, a null handle or an
// error code) with the loader's last error, so the caller logs it like any other failure.
// The Linux build links the same names from winsim; this file is the Windows build's only.
#include <windows.h>
#include <winspool.h>
#include <winver.h>

namespace {

struct SystemDll {
    const WCHAR* name;
    HMODULE module;
};

SystemDll spooler{L"winspool.drv", nullptr};
SystemDll version{L"version.dll", nullptr};

// Null with the last error of the load or of the lookup when either fails.
FARPROC exportOf(SystemDll& dll, const char* name) {
    if (dll.module == nullptr) {
        dll.module = LoadLibraryExW(dll.name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (dll.module == nullptr) {
            return nullptr;
        }
    }
    return GetProcAddress(dll.module, name);
}

// Resolves the export into `function` once; a failed lookup is tried again on the next call.
template <typename Function> bool bind(SystemDll& dll, const char* name, Function& function) {
    if (function == nullptr) {
        function = reinterpret_cast<Function>(reinterpret_cast<void*>(exportOf(dll, name)));
    }
    return function != nullptr;
}

} // namespace

BOOL WINAPI AddMonitorW(LPWSTR pName, DWORD Level, LPBYTE pMonitors) {
    static decltype(&AddMonitorW) real;
    return bind(spooler, "AddMonitorW", real) ? real(pName, Level, pMonitors) : FALSE;
}

BOOL WINAPI AddPrinterDriverExW(LPWSTR pName, DWORD Level, LPBYTE pDriverInfo,
                                DWORD dwFileCopyFlags) {
    static decltype(&AddPrinterDriverExW) real;
    return bind(spooler, "AddPrinterDriverExW", real)
               ? real(pName, Level, pDriverInfo, dwFileCopyFlags)
               : FALSE;
}

HANDLE WINAPI AddPrinterW(LPWSTR pName, DWORD Level, LPBYTE pPrinter) {
    static decltype(&AddPrinterW) real;
    return bind(spooler, "AddPrinterW", real) ? real(pName, Level, pPrinter) : nullptr;
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
    static decltype(&ClosePrinter) real;
    return bind(spooler, "ClosePrinter", real) ? real(hPrinter) : FALSE;
}

BOOL WINAPI DeleteMonitorW(LPWSTR pName, LPWSTR pEnvironment, LPWSTR pMonitorName) {
    static decltype(&DeleteMonitorW) real;
    return bind(spooler, "DeleteMonitorW", real) ? real(pName, pEnvironment, pMonitorName) : FALSE;
}

BOOL WINAPI DeletePrinter(HANDLE hPrinter) {
    static decltype(&DeletePrinter) real;
    return bind(spooler, "DeletePrinter", real) ? real(hPrinter) : FALSE;
}

BOOL WINAPI DeletePrinterDriverExW(LPWSTR pName, LPWSTR pEnvironment, LPWSTR pDriverName,
                                   DWORD dwDeleteFlag, DWORD dwVersionFlag) {
    static decltype(&DeletePrinterDriverExW) real;
    return bind(spooler, "DeletePrinterDriverExW", real)
               ? real(pName, pEnvironment, pDriverName, dwDeleteFlag, dwVersionFlag)
               : FALSE;
}

BOOL WINAPI EnumMonitorsW(LPWSTR pName, DWORD Level, LPBYTE pMonitor, DWORD cbBuf,
                          LPDWORD pcbNeeded, LPDWORD pcReturned) {
    static decltype(&EnumMonitorsW) real;
    return bind(spooler, "EnumMonitorsW", real)
               ? real(pName, Level, pMonitor, cbBuf, pcbNeeded, pcReturned)
               : FALSE;
}

BOOL WINAPI EnumPrinterDriversW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo,
                                DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
    static decltype(&EnumPrinterDriversW) real;
    return bind(spooler, "EnumPrinterDriversW", real)
               ? real(pName, pEnvironment, Level, pDriverInfo, cbBuf, pcbNeeded, pcReturned)
               : FALSE;
}

BOOL WINAPI EnumPrintersW(DWORD Flags, LPWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                          LPDWORD pcbNeeded, LPDWORD pcReturned) {
    static decltype(&EnumPrintersW) real;
    return bind(spooler, "EnumPrintersW", real)
               ? real(Flags, Name, Level, pPrinterEnum, cbBuf, pcbNeeded, pcReturned)
               : FALSE;
}

BOOL WINAPI GetDefaultPrinterW(LPWSTR pszBuffer, LPDWORD pcchBuffer) {
    static decltype(&GetDefaultPrinterW) real;
    return bind(spooler, "GetDefaultPrinterW", real) ? real(pszBuffer, pcchBuffer) : FALSE;
}

// The printer-data calls answer with an error code rather than through the last error.
DWORD WINAPI GetPrinterDataA(HANDLE hPrinter, LPSTR pValueName, LPDWORD pType, LPBYTE pData,
                             DWORD nSize, LPDWORD pcbNeeded) {
    static decltype(&GetPrinterDataA) real;
    return bind(spooler, "GetPrinterDataA", real)
               ? real(hPrinter, pValueName, pType, pData, nSize, pcbNeeded)
               : GetLastError();
}

DWORD WINAPI GetPrinterDataExA(HANDLE hPrinter, LPCSTR pKeyName, LPCSTR pValueName, LPDWORD pType,
                               LPBYTE pData, DWORD nSize, LPDWORD pcbNeeded) {
    static decltype(&GetPrinterDataExA) real;
    return bind(spooler, "GetPrinterDataExA", real)
               ? real(hPrinter, pKeyName, pValueName, pType, pData, nSize, pcbNeeded)
               : GetLastError();
}

BOOL WINAPI GetPrinterDriverDirectoryW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level,
                                       LPBYTE pDriverDirectory, DWORD cbBuf, LPDWORD pcbNeeded) {
    static decltype(&GetPrinterDriverDirectoryW) real;
    return bind(spooler, "GetPrinterDriverDirectoryW", real)
               ? real(pName, pEnvironment, Level, pDriverDirectory, cbBuf, pcbNeeded)
               : FALSE;
}

BOOL WINAPI GetPrinterDriverW(HANDLE hPrinter, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo,
                              DWORD cbBuf, LPDWORD pcbNeeded) {
    static decltype(&GetPrinterDriverW) real;
    return bind(spooler, "GetPrinterDriverW", real)
               ? real(hPrinter, pEnvironment, Level, pDriverInfo, cbBuf, pcbNeeded)
               : FALSE;
}

BOOL WINAPI GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf,
                        LPDWORD pcbNeeded) {
    static decltype(&GetPrinterW) real;
    return bind(spooler, "GetPrinterW", real) ? real(hPrinter, Level, pPrinter, cbBuf, pcbNeeded)
                                              : FALSE;
}

BOOL WINAPI OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault) {
    static decltype(&OpenPrinterW) real;
    return bind(spooler, "OpenPrinterW", real) ? real(pPrinterName, phPrinter, pDefault) : FALSE;
}

BOOL WINAPI SetDefaultPrinterW(LPCWSTR pszPrinter) {
    static decltype(&SetDefaultPrinterW) real;
    return bind(spooler, "SetDefaultPrinterW", real) ? real(pszPrinter) : FALSE;
}

DWORD WINAPI SetPrinterDataA(HANDLE hPrinter, LPSTR pValueName, DWORD Type, LPBYTE pData,
                             DWORD cbData) {
    static decltype(&SetPrinterDataA) real;
    return bind(spooler, "SetPrinterDataA", real) ? real(hPrinter, pValueName, Type, pData, cbData)
                                                  : GetLastError();
}

DWORD WINAPI SetPrinterDataExA(HANDLE hPrinter, LPCSTR pKeyName, LPCSTR pValueName, DWORD Type,
                               LPBYTE pData, DWORD cbData) {
    static decltype(&SetPrinterDataExA) real;
    return bind(spooler, "SetPrinterDataExA", real)
               ? real(hPrinter, pKeyName, pValueName, Type, pData, cbData)
               : GetLastError();
}

BOOL WINAPI SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
    static decltype(&SetPrinterW) real;
    return bind(spooler, "SetPrinterW", real) ? real(hPrinter, Level, pPrinter, Command) : FALSE;
}

DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle) {
    static decltype(&GetFileVersionInfoSizeW) real;
    return bind(version, "GetFileVersionInfoSizeW", real) ? real(lptstrFilename, lpdwHandle) : 0;
}

BOOL WINAPI GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD dwHandle, DWORD dwLen,
                                LPVOID lpData) {
    static decltype(&GetFileVersionInfoW) real;
    return bind(version, "GetFileVersionInfoW", real)
               ? real(lptstrFilename, dwHandle, dwLen, lpData)
               : FALSE;
}

BOOL WINAPI VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen) {
    static decltype(&VerQueryValueW) real;
    return bind(version, "VerQueryValueW", real) ? real(pBlock, lpSubBlock, lplpBuffer, puLen)
                                                 : FALSE;
}
