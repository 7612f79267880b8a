// The user's default printer: HKCU ...\Windows NT\CurrentVersion\Windows, value "Device",
// "Name,winspool,Port".
#include <cstring>

#include <winspool.h>

#include "spooler_calls.h"
#include "spooler_registry.h"
#include "winsim/text.h"

using namespace winsim;
using namespace winsim::spool;

BOOL WINAPI GetDefaultPrinterW(LPWSTR pszBuffer, LPDWORD pcchBuffer) {
    if (!pcchBuffer) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!spooler().answers()) {
        return FALSE;
    }
    const std::string device = defaultPrinterDevice();
    if (device.empty()) {
        return fail(ERROR_FILE_NOT_FOUND);
    }
    const size_t comma = device.find(',');
    if (comma == std::string::npos) {
        return fail(ERROR_INVALID_NAME);
    }
    const std::u16string name = toUtf16(device.substr(0, comma));
    const DWORD needed = static_cast<DWORD>(name.size() + 1);
    if (!pszBuffer || *pcchBuffer < needed) {
        *pcchBuffer = needed;
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(pszBuffer, name.c_str(), needed * sizeof(WCHAR));
    *pcchBuffer = needed;
    return TRUE;
}

// NULL or "" keeps a default that still exists, else makes the first printer the default.
BOOL WINAPI SetDefaultPrinterW(LPCWSTR pszPrinter) {
    if (!spooler().answers()) {
        return FALSE;
    }
    const std::string wanted = toUtf8(pszPrinter);
    RegKey* printer = findPrinter(wanted);
    if (wanted.empty()) {
        const std::string device = defaultPrinterDevice();
        if (findPrinter(device.substr(0, device.find(',')))) {
            return TRUE;
        }
        const std::vector<RegKey*> printers = children(printersKey());
        printer = printers.empty() ? nullptr : printers.front();
    }
    if (!printer) {
        return fail(ERROR_INVALID_PRINTER_NAME);
    }
    const PrinterRecord record = readPrinter(*printer);
    setDefaultPrinterDevice(record.name, record.port);
    return TRUE;
}
