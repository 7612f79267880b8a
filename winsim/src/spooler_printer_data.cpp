// Printer data (the ANSI calls the installer makes): values under the printer's key,
// "PrinterDriverData" for GetPrinterDataA/SetPrinterDataA, any key for the ...Ex calls.
// These calls return their error instead of setting the last error.
#include <cstring>

#include <winspool.h>

#include "spooler_calls.h"
#include "spooler_registry.h"

using namespace winsim;
using namespace winsim::spool;

namespace {

const char kDriverDataKey[] = "PrinterDriverData";

std::string text(LPCSTR s) {
    return s ? std::string(s) : std::string();
}

// 0 and the printer, or the call's error: the spooler must run and the handle must be an
// open printer handle; storing needs PRINTER_ACCESS_ADMINISTER, reading no right at all.
DWORD reachPrinter(HANDLE handle, LPCSTR keyName, bool storing, RegKey** printer) {
    if (!machine().services.isRunning("spooler")) {
        return RPC_S_SERVER_UNAVAILABLE;
    }
    PrinterHandle* open = nullptr;
    if (DWORD error = lookupPrinter(handle, &open, printer)) {
        return error;
    }
    if (storing && !(open->access & PRINTER_ACCESS_ADMINISTER)) {
        return ERROR_ACCESS_DENIED;
    }
    return text(keyName).empty() ? ERROR_INVALID_PARAMETER : 0;
}

// The error of a refusal set through the control API, or 0.
DWORD refusal(control::SpoolerCall call) {
    const DWORD kept = machine().lastError;
    const DWORD error = spooler().answers(call) ? 0 : machine().lastError;
    machine().lastError = kept;
    return error;
}

} // namespace

DWORD WINAPI GetPrinterDataExA(HANDLE hPrinter, LPCSTR pKeyName, LPCSTR pValueName, LPDWORD pType,
                               LPBYTE pData, DWORD nSize, LPDWORD pcbNeeded) {
    RegKey* printer = nullptr;
    if (DWORD error = reachPrinter(hPrinter, pKeyName, false, &printer)) {
        return error;
    }
    if (!pcbNeeded) {
        return ERROR_INVALID_PARAMETER;
    }
    const RegKey* key = machine().registry.find(Hive::LocalMachine, printerKeyPath(printer->name) +
                                                                        "\\" + text(pKeyName));
    const RegValue* value = key ? Registry::value(*key, text(pValueName)) : nullptr;
    if (!value) {
        return ERROR_FILE_NOT_FOUND;
    }
    const DWORD size = static_cast<DWORD>(value->data.size());
    *pcbNeeded = size;
    if (pType) {
        *pType = value->type;
    }
    if (nSize < size || (size && !pData)) {
        return ERROR_MORE_DATA;
    }
    if (size) {
        std::memcpy(pData, value->data.data(), size);
    }
    return ERROR_SUCCESS;
}

// The bytes are stored exactly as given, type and size included.
DWORD WINAPI SetPrinterDataExA(HANDLE hPrinter, LPCSTR pKeyName, LPCSTR pValueName, DWORD Type,
                               LPBYTE pData, DWORD cbData) {
    RegKey* printer = nullptr;
    if (DWORD error = reachPrinter(hPrinter, pKeyName, true, &printer)) {
        return error;
    }
    if (DWORD error = refusal(control::SpoolerCall::SetPrinterDataEx)) {
        return error;
    }
    if (cbData && !pData) {
        return ERROR_INVALID_PARAMETER;
    }
    RegKey& key = *machine().registry.create(Hive::LocalMachine,
                                             printerKeyPath(printer->name) + "\\" + text(pKeyName));
    Registry::setValue(key, text(pValueName), Type, pData, cbData);
    return ERROR_SUCCESS;
}

DWORD WINAPI GetPrinterDataA(HANDLE hPrinter, LPSTR pValueName, LPDWORD pType, LPBYTE pData,
                             DWORD nSize, LPDWORD pcbNeeded) {
    return GetPrinterDataExA(hPrinter, kDriverDataKey, pValueName, pType, pData, nSize, pcbNeeded);
}

DWORD WINAPI SetPrinterDataA(HANDLE hPrinter, LPSTR pValueName, DWORD Type, LPBYTE pData,
                             DWORD cbData) {
    return SetPrinterDataExA(hPrinter, kDriverDataKey, pValueName, Type, pData, cbData);
}
