// The product's driver UI DLL, the configuration file of "Folioscope printer". The spooler
// loads it when the driver is added and when a printer is added (Wine loads it into the
// process that calls AddPrinterW and asks it for the printer's default settings at once), so
// every entry a caller may look up is here and answers without a window: one A4 page size,
// portrait or landscape, copies, colour.
#include <windows.h>
#include <compstui.h>
#include <winddiui.h>

#include <cstddef>

namespace {

// What the document-settings calls receive; the headers of this toolchain lack them.
struct DOCUMENTPROPERTYHEADER {
    WORD cbSize;
    WORD Reserved;
    HANDLE hPrinter;
    LPWSTR pszPrinterName;
    PDEVMODEW pdmIn;
    PDEVMODEW pdmOut;
    DWORD cbOut;
    DWORD fMode;
};

struct DEVQUERYPRINT_INFO {
    WORD cbSize;
    WORD Level;
    HANDLE hPrinter;
    DEVMODEW* pDevMode;
    LPWSTR pszErrorStr;
    DWORD cchErrorStr;
    DWORD cchNeeded;
};

constexpr DWORD kFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_COLOR;
constexpr WORD kDriverVersion = 0x0100;
constexpr short kMostCopies = 999;
constexpr LONG kA4Width = 2100, kA4Height = 2970; // tenths of a millimetre
constexpr int kPaperNameLength = 64;              // characters per DC_PAPERNAMES entry

void defaultSettings(LPCWSTR printer, DEVMODEW* settings) {
    *settings = DEVMODEW();
    if (printer != nullptr) {
        lstrcpynW(settings->dmDeviceName, printer, CCHDEVICENAME);
    }
    settings->dmSpecVersion = DM_SPECVERSION;
    settings->dmDriverVersion = kDriverVersion;
    settings->dmSize = sizeof(DEVMODEW);
    settings->dmFields = kFields;
    settings->dmOrientation = DMORIENT_PORTRAIT;
    settings->dmPaperSize = DMPAPER_A4;
    settings->dmCopies = 1;
    settings->dmColor = DMCOLOR_COLOR;
}

// Takes over what the caller chose among the settings this printer has.
void mergeSettings(const DEVMODEW* chosen, DEVMODEW* settings) {
    if (chosen == nullptr || chosen->dmSize < offsetof(DEVMODEW, dmFormName)) {
        return;
    }
    if ((chosen->dmFields & DM_ORIENTATION) && (chosen->dmOrientation == DMORIENT_PORTRAIT ||
                                                chosen->dmOrientation == DMORIENT_LANDSCAPE)) {
        settings->dmOrientation = chosen->dmOrientation;
    }
    if ((chosen->dmFields & DM_COPIES) && chosen->dmCopies >= 1 &&
        chosen->dmCopies <= kMostCopies) {
        settings->dmCopies = chosen->dmCopies;
    }
    if ((chosen->dmFields & DM_COLOR) &&
        (chosen->dmColor == DMCOLOR_COLOR || chosen->dmColor == DMCOLOR_MONOCHROME)) {
        settings->dmColor = chosen->dmColor;
    }
}

// A mode of 0 or no output asks for the size of the settings.
LONG documentProperties(LPCWSTR printer, DEVMODEW* output, const DEVMODEW* input, DWORD mode) {
    if (mode == 0 || output == nullptr) {
        return sizeof(DEVMODEW);
    }
    DEVMODEW settings;
    defaultSettings(printer, &settings);
    if (mode & DM_IN_BUFFER) {
        mergeSettings(input, &settings);
    }
    if (mode & DM_OUT_BUFFER) {
        *output = settings;
    }
    return IDOK;
}

DWORD onePaper(PVOID output, WORD index) {
    if (output == nullptr) {
        return 1;
    }
    if (index == DC_PAPERS) {
        *static_cast<WORD*>(output) = DMPAPER_A4;
    } else if (index == DC_PAPERSIZE) {
        *static_cast<POINT*>(output) = POINT{kA4Width, kA4Height};
    } else {
        lstrcpynW(static_cast<WCHAR*>(output), L"A4", kPaperNameLength);
    }
    return 1;
}

} // namespace

extern "C" {

__declspec(dllexport) LONG WINAPI
    DrvDocumentPropertySheets(PPROPSHEETUI_INFO sheet, LPARAM parameter) {
    if (sheet != nullptr) {
        return 1; // the property sheet gets no page of ours
    }
    auto* header = reinterpret_cast<DOCUMENTPROPERTYHEADER*>(parameter);
    if (header == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return ERR_CPSUI_GETLASTERROR;
    }
    if (header->fMode == 0 || header->pdmOut == nullptr) {
        header->cbOut = sizeof(DEVMODEW);
        return header->cbOut;
    }
    return documentProperties(header->pszPrinterName, header->pdmOut, header->pdmIn, header->fMode);
}

__declspec(dllexport) LONG WINAPI
    DrvDocumentProperties(HWND, HANDLE, PWSTR printer, PDEVMODEW output, PDEVMODEW input,
                          DWORD mode) {
    return documentProperties(printer, output, input, mode);
}

__declspec(dllexport) LONG WINAPI
    DrvAdvancedDocumentProperties(HWND, HANDLE, PWSTR printer, PDEVMODEW output, PDEVMODEW input) {
    return documentProperties(printer, output, input,
                              output == nullptr ? 0 : DM_IN_BUFFER | DM_OUT_BUFFER);
}

__declspec(dllexport) DWORD WINAPI
    DrvDeviceCapabilities(HANDLE, PWSTR, WORD index, PVOID output, PDEVMODEW) {
    switch (index) {
    case DC_FIELDS:
        return kFields;
    case DC_PAPERS:
    case DC_PAPERSIZE:
    case DC_PAPERNAMES:
        return onePaper(output, index);
    case DC_MINEXTENT:
    case DC_MAXEXTENT:
        return MAKELONG(kA4Width, kA4Height);
    case DC_SIZE:
        return sizeof(DEVMODEW);
    case DC_VERSION:
        return DM_SPECVERSION;
    case DC_DRIVER:
        return kDriverVersion;
    case DC_COPIES:
        return kMostCopies;
    case DC_ORIENTATION:
        return 90; // landscape turns the page counter-clockwise
    case DC_COLORDEVICE:
        return 1;
    default:
        return 0; // none of that kind
    }
}

// Every document may print.
__declspec(dllexport) BOOL WINAPI DevQueryPrintEx(DEVQUERYPRINT_INFO*) {
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI DrvPrinterEvent(LPWSTR, INT, DWORD, LPARAM) {
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI DrvDriverEvent(DWORD, DWORD, LPBYTE, LPARAM) {
    return TRUE;
}

} // extern "C"
