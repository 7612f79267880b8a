/* A port monitor the spooler can load: InitializePrintMonitor2 hands over a function table
   whose port list is empty. */
#include <windows.h>
#include <winsplp.h>

static BOOL WINAPI enumPorts(HANDLE monitor, LPWSTR name, DWORD level, LPBYTE ports, DWORD size,
                             LPDWORD needed, LPDWORD returned) {
    (void)monitor, (void)name, (void)level, (void)ports, (void)size;
    *needed = 0;
    *returned = 0;
    return TRUE;
}

static MONITOR2 table = {.cbSize = sizeof(MONITOR2), .pfnEnumPorts = enumPorts};

__declspec(dllexport) LPMONITOR2 WINAPI
    InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor) {
    (void)init;
    *monitor = (HANDLE)&table;
    return &table;
}
