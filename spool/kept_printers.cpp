#include "spool/kept_printers.h"

#include <cstring>

#include "record/install_context.h"
#include "spool/printer_settings.h"
#include "spool/product_names.h"
#include "spool/product_printers.h"
#include "spool/spooler_queries.h"

namespace {

const size_t kAnsiPathBytes = 260;
const char kSettingsFolder[] = "Folioscopes\\";
const size_t kSettingsFolderLength = sizeof(kSettingsFolder) - 1;

void keepPrinter(InstallContext& context, const char* subKey, PRINTER_INFO_2W& printer) {
    size_t bytes = std::strlen(subKey) + 1;
    auto* node =
        static_cast<KeptPrinter*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(KeptPrinter)));
    auto* copy = static_cast<char*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes));
    if (node == nullptr || copy == nullptr) {
        if (node != nullptr) {
            GlobalFree(node);
        }
        if (copy != nullptr) {
            GlobalFree(copy);
        }
        return;
    }
    std::memcpy(copy, subKey, bytes);
    node->subKey = copy;
    node->printer = &printer;
    node->next = context.keptPrinters;
    context.keptPrinters = node;
}

// The product keeps per-printer settings under "Folioscopes\<SubKey>"; the value read
// back from the new printer names the key whose "deleted" mark no longer holds.
void clearDeletedMarkOf(HANDLE printer) {
    char path[kAnsiPathBytes] = {};
    std::memcpy(path, kSettingsFolder, kSettingsFolderLength);
    readSettingsKey(printer, path + kSettingsFolderLength);
    if (path[kSettingsFolderLength] != '\0') {
        clearDeletedMark(path);
    }
}

void copyOldSettings(HANDLE printer, const PRINTER_INFO_2W& old) {
    PrinterInfo current = queryPrinterInfo(printer);
    if (current.info == nullptr) {
        return;
    }
    current.info->pComment = old.pComment;
    current.info->pLocation = old.pLocation;
    SetPrinterW(printer, 2, reinterpret_cast<LPBYTE>(current.info), 0);
    if ((old.Attributes & PRINTER_ATTRIBUTE_DEFAULT) != 0 && isProductPrinter(old)) {
        SetDefaultPrinterW(current.info->pPrinterName);
    }
    GlobalFree(current.info);
}

bool restorePrinter(InstallContext& context, const KeptPrinter& kept) {
    HANDLE printer = addProductPrinter(context, kept.printer->pPrinterName);
    if (printer == nullptr) {
        return false;
    }
    if (storeSettingsKey(printer, kept.subKey) != 0) {
        clearDeletedMarkOf(printer);
    }
    copyOldSettings(printer, *kept.printer);
    ClosePrinter(printer);
    return true;
}

} // namespace

void rememberPrinter(InstallContext& context, PRINTER_INFO_2W& printer) {
    HANDLE handle = nullptr;
    if (!OpenPrinterW(printer.pPrinterName, &handle, nullptr)) {
        return;
    }
    char subKey[kAnsiPathBytes] = {};
    readSettingsKey(handle, subKey);
    if (subKey[0] != '\0') {
        keepPrinter(context, subKey, printer);
    }
    ClosePrinter(handle);
}

void restorePrinters(InstallContext& context) {
    int restored = 0;
    for (KeptPrinter* kept = context.keptPrinters; kept != nullptr; kept = kept->next) {
        if (restorePrinter(context, *kept)) {
            ++restored;
        }
    }
    if (restored == 0) {
        HANDLE printer = addProductPrinter(context, kProductPrinter);
        if (printer != nullptr) {
            ClosePrinter(printer);
        }
    }
}

void releaseKeptPrinters(KeptPrinter* head) {
    while (head != nullptr) {
        KeptPrinter* next = head->next;
        GlobalFree(head->subKey);
        GlobalFree(head);
        head = next;
    }
}
