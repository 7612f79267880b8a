// The product's port monitor. The spooler loads it from the system directory when the
// monitor "Folioscope:" is added and at every spooler start, and prints the product's
// printers through its one port, also named "Folioscope:". Rendering is not this file's
// business: a job written to the port is accepted and discarded, and the spooler is told
// that it was sent so that the queue empties.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <cstring>

namespace {

const WCHAR kPortName[] = L"Folioscope:";
const WCHAR kDescription[] = L"Folioscope port";

// One open port: the printer and job of the document being written, if any.
struct OpenPort {
    HANDLE printer;
    DWORD jobId;
};

// Anything non-null identifies the monitor instance and an open transceive channel;
// nothing about them varies.
int monitorInstance;
int configurationChannel;

bool isOurPort(LPCWSTR name) {
    return name != nullptr && lstrcmpiW(name, kPortName) == 0;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

size_t textBytes(const WCHAR* text) {
    return (lstrlenW(text) + 1) * sizeof(WCHAR);
}

// Copies the text to the end of the free space, which shrinks from the back.
LPWSTR packText(BYTE*& end, const WCHAR* text) {
    end -= textBytes(text);
    std::memcpy(end, text, textBytes(text));
    return reinterpret_cast<LPWSTR>(end);
}

// The one port, at level 1 or 2: the record first, its texts packed at the buffer's end.
BOOL WINAPI enumPorts(HANDLE, LPWSTR, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                      LPDWORD returned) {
    *returned = 0;
    if (level != 1 && level != 2) {
        return fail(ERROR_INVALID_LEVEL);
    }
    size_t bytes = textBytes(kPortName);
    bytes += level == 1 ? sizeof(PORT_INFO_1W)
                        : sizeof(PORT_INFO_2W) + textBytes(kPortName) + textBytes(kDescription);
    *needed = static_cast<DWORD>(bytes);
    if (ports == nullptr || size < bytes) {
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    BYTE* end = ports + bytes;
    if (level == 1) {
        reinterpret_cast<PORT_INFO_1W*>(ports)->pName = packText(end, kPortName);
    } else {
        auto* info = reinterpret_cast<PORT_INFO_2W*>(ports);
        info->pPortName = packText(end, kPortName);
        info->pMonitorName = packText(end, kPortName);
        info->pDescription = packText(end, kDescription);
        info->fPortType = PORT_TYPE_WRITE;
        info->Reserved = 0;
    }
    *returned = 1;
    return TRUE;
}

BOOL WINAPI openPort(HANDLE, LPWSTR name, PHANDLE port) {
    if (!isOurPort(name)) {
        return fail(ERROR_UNKNOWN_PORT);
    }
    void* open = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(OpenPort));
    if (open == nullptr) {
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    *port = open;
    return TRUE;
}

// Language monitors open ports this way; a port monitor never is.
BOOL WINAPI openPortEx(HANDLE, HANDLE, LPWSTR, LPWSTR, PHANDLE, MONITOR2*) {
    return fail(ERROR_NOT_SUPPORTED);
}

BOOL WINAPI startDocPort(HANDLE port, LPWSTR printerName, DWORD jobId, DWORD, LPBYTE) {
    auto* open = static_cast<OpenPort*>(port);
    if (!OpenPrinterW(printerName, &open->printer, nullptr)) {
        open->printer = nullptr;
        return FALSE;
    }
    open->jobId = jobId;
    return TRUE;
}

BOOL WINAPI writePort(HANDLE, LPBYTE, DWORD size, LPDWORD written) {
    *written = size;
    return TRUE;
}

BOOL WINAPI readPort(HANDLE, LPBYTE, DWORD, LPDWORD read) {
    *read = 0;
    return fail(ERROR_NOT_SUPPORTED);
}

// Without JOB_CONTROL_SENT_TO_PRINTER the spooler would keep the job in the queue.
BOOL WINAPI endDocPort(HANDLE port) {
    auto* open = static_cast<OpenPort*>(port);
    if (open->printer == nullptr) {
        return TRUE;
    }
    SetJobW(open->printer, open->jobId, 0, nullptr, JOB_CONTROL_SENT_TO_PRINTER);
    ClosePrinter(open->printer);
    open->printer = nullptr;
    return TRUE;
}

BOOL WINAPI closePort(HANDLE port) {
    endDocPort(port);
    return HeapFree(GetProcessHeap(), 0, port);
}

// The port is fixed: there is none to add, configure or delete.
BOOL WINAPI addPort(HANDLE, LPWSTR, HWND, LPWSTR) {
    return fail(ERROR_NOT_SUPPORTED);
}

BOOL WINAPI addPortEx(HANDLE, LPWSTR, DWORD, LPBYTE, LPWSTR) {
    return fail(ERROR_NOT_SUPPORTED);
}

BOOL WINAPI configurePort(HANDLE, LPWSTR, HWND, LPWSTR) {
    return fail(ERROR_NOT_SUPPORTED);
}

BOOL WINAPI deletePort(HANDLE, LPWSTR, HWND, LPWSTR) {
    return fail(ERROR_NOT_SUPPORTED);
}

BOOL WINAPI getPrinterDataFromPort(HANDLE, DWORD, LPWSTR, LPWSTR, DWORD, LPWSTR, DWORD, LPDWORD) {
    return fail(ERROR_NOT_SUPPORTED);
}

// Writes never block, so there is no time-out to keep.
BOOL WINAPI setPortTimeOuts(HANDLE, LPCOMMTIMEOUTS, DWORD) {
    return TRUE;
}

BOOL WINAPI xcvOpenPort(HANDLE, LPCWSTR, ACCESS_MASK, PHANDLE channel) {
    *channel = &configurationChannel;
    return TRUE;
}

DWORD WINAPI xcvDataPort(HANDLE, LPCWSTR, PBYTE, DWORD, PBYTE, DWORD, PDWORD needed) {
    *needed = 0;
    return ERROR_NOT_SUPPORTED;
}

BOOL WINAPI xcvClosePort(HANDLE) {
    return TRUE;
}

void WINAPI shutdownMonitor(HANDLE) {}

DWORD WINAPI sendRecvBidiDataFromPort(HANDLE, DWORD, LPCWSTR, PBIDI_REQUEST_CONTAINER,
                                      PBIDI_RESPONSE_CONTAINER* response) {
    *response = nullptr;
    return ERROR_NOT_SUPPORTED;
}

DWORD WINAPI notifyPorts(HANDLE, DWORD, PCWSTR*) {
    return ERROR_SUCCESS;
}

// Every entry is filled, so no caller meets a null one.
MONITOR2 entries() {
    MONITOR2 entries = {};
    entries.cbSize = sizeof(MONITOR2);
    entries.pfnEnumPorts = enumPorts;
    entries.pfnOpenPort = openPort;
    entries.pfnOpenPortEx = openPortEx;
    entries.pfnStartDocPort = startDocPort;
    entries.pfnWritePort = writePort;
    entries.pfnReadPort = readPort;
    entries.pfnEndDocPort = endDocPort;
    entries.pfnClosePort = closePort;
    entries.pfnAddPort = addPort;
    entries.pfnAddPortEx = addPortEx;
    entries.pfnConfigurePort = configurePort;
    entries.pfnDeletePort = deletePort;
    entries.pfnGetPrinterDataFromPort = getPrinterDataFromPort;
    entries.pfnSetPortTimeOuts = setPortTimeOuts;
    entries.pfnXcvOpenPort = xcvOpenPort;
    entries.pfnXcvDataPort = xcvDataPort;
    entries.pfnXcvClosePort = xcvClosePort;
    entries.pfnShutdown = shutdownMonitor;
    entries.pfnSendRecvBidiDataFromPort = sendRecvBidiDataFromPort;
    entries.pfnNotifyUsedPorts = notifyPorts;
    entries.pfnNotifyUnusedPorts = notifyPorts;
    return entries;
}

MONITOR2 monitor = entries();

} // namespace

extern "C" __declspec(dllexport) LPMONITOR2 WINAPI
    InitializePrintMonitor2(PMONITORINIT, PHANDLE monitorHandle) {
    *monitorHandle = &monitorInstance;
    return &monitor;
}
