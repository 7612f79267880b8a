/* A printer driver's configuration DLL with the entry points a spooler calls when it
   installs the driver and adds a printer: a bare DEVMODEW for the document properties, no
   capabilities, and every event accepted. */
#include <windows.h>

#define ENTRY(name, result)                                                                        \
    __declspec(dllexport) DWORD_PTR WINAPI name(void) {                                            \
        return result;                                                                             \
    }

ENTRY(DrvDeviceCapabilities, 0)
ENTRY(DrvDocumentProperties, 0)
ENTRY(DrvAdvancedDocumentProperties, 0)
ENTRY(DevQueryPrintEx, TRUE)
ENTRY(DrvPrinterEvent, TRUE)
ENTRY(DrvDriverEvent, TRUE)

/* The header of a DrvDocumentPropertySheets call (winddiui.h, which mingw-w64 lacks). */
typedef struct {
    WORD cbSize;
    WORD Reserved;
    HANDLE hPrinter;
    LPWSTR pszPrinterName;
    DEVMODEW* pdmIn;
    DEVMODEW* pdmOut;
    DWORD cbOut;
    DWORD fMode;
} DocumentPropertyHeader;

/* Without property sheets: the size of the device mode first, then the device mode. */
__declspec(dllexport) LONG WINAPI DrvDocumentPropertySheets(void* sheets, LPARAM param) {
    DocumentPropertyHeader* header = (DocumentPropertyHeader*)param;
    if (sheets || !header) {
        return -1;
    }
    if (!header->pdmOut || header->fMode == 0) {
        header->cbOut = sizeof(DEVMODEW);
        return sizeof(DEVMODEW);
    }
    ZeroMemory(header->pdmOut, sizeof(DEVMODEW));
    header->pdmOut->dmSize = sizeof(DEVMODEW);
    header->pdmOut->dmSpecVersion = DM_SPECVERSION;
    return IDOK;
}
