// Floor of "def.set": the printer enumeration and the set-default call.
#include "floor.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    splitCommandLine();
    BYTE* buffer = nullptr;
    const PRINTER_INFO_2W* printer = firstProductPrinter(buffer);
    if (printer != nullptr) {
        SetDefaultPrinterW(printer->pPrinterName);
    }
    HeapFree(GetProcessHeap(), 0, buffer);
    return 4;
}
