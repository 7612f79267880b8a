#include "app/install_context.h"

#include "app/module_instance.h"
#include "log/install_log.h"
#include "log/text_utils.h"
#include "log/wide_text.h"
#include "spool/default_printer_mark.h"
#include "spool/kept_printers.h"
#include "spool/probe_and_fill.h"
#include "spool/spooler_queries.h"
#include "system/deferred_files.h"
#include "system/spooler_service.h"

namespace {

bool endsDirectoryPart(WCHAR c) {
    return c == L'\\' || c == L'/' || c == L':';
}

// A failed or cut-off module name leaves the directory empty, as a bare file name does:
// a truncated path would name some other directory.
void readProgramDir(InstallContext& context) {
    WCHAR path[MAX_PATH];
    DWORD length = GetModuleFileNameW(moduleInstance, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    DWORD cut = 0;
    for (DWORD i = 0; i < length; ++i) {
        if (endsDirectoryPart(path[i])) {
            cut = i + 1;
        }
    }
    path[cut] = L'\0';
    assign(context.programDir, path);
}

// GetSystemDirectoryW answers a buffer that is too small with the size it needs, and the
// buffer then holds nothing usable.
void readSystemDir(InstallContext& context) {
    WCHAR path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        logError(context, 7, L"Can`t retrieve system directory.");
        return;
    }
    assign(context.systemDir, path);
    if (path[length - 1] != L'\\') {
        append(context.systemDir, L"\\");
    }
}

// The block has two zero bytes beyond the size the spooler names, so the directory is
// terminated whatever the spooler wrote.
void readDriverDir(InstallContext& context) {
    BYTE* buffer = nullptr;
    DWORD needed = 0;
    auto ask = [&context](BYTE* into, DWORD size, DWORD& needs) {
        return GetPrinterDriverDirectoryW(nullptr, const_cast<LPWSTR>(context.environment), 1, into,
                                          size, &needs);
    };
    QueryOutcome outcome = probeAndFill(ask, ProbeRule::successMeansEmpty, 2, buffer, needed);
    if (outcome == QueryOutcome::nothingToList) {
        return;
    }
    if (outcome != QueryOutcome::filled) {
        logError(context, 6, L"Can`t retrieve printer driver directory.");
        return;
    }
    const WCHAR* directory = reinterpret_cast<const WCHAR*>(buffer);
    size_t length = textLength(directory);
    assign(context.driverDir, directory);
    if (length > 0 && directory[length - 1] != L'\\') {
        append(context.driverDir, L"\\");
    }
    GlobalFree(buffer);
}

} // namespace

InstallContext::InstallContext()
    : programDir(nullptr), systemDir(nullptr), logText(nullptr), driverDir(nullptr),
      environment(nullptr), monitorFile(nullptr), driverFile(nullptr), helpFile(nullptr),
      uiFile(nullptr), reinstall(false), InstallMonitor(true), CopyMonitor(true), errorCount(0),
      logDepth(0), deferredFiles(nullptr), keptPrinters(nullptr), printers{nullptr, 0},
      parkedPrinters(nullptr) {
    logLine(*this, L"Folioscope %d", kBuildNumber);
    checkSpooler(*this);
    selectPlatformFiles(*this);
    readProgramDir(*this);
    readSystemDir(*this);
    markDefaultPrinter(*this);
}

// Order: the parked-printer array, the printer array, the kept-printer list, the
// deferred-file list, then the texts.
InstallContext::~InstallContext() {
    if (parkedPrinters != nullptr) {
        GlobalFree(parkedPrinters);
        parkedPrinters = nullptr;
    }
    releasePrinterList(printers);
    releaseKeptPrinters(keptPrinters);
    keptPrinters = nullptr;
    freeDeferredFiles(deferredFiles);
    deferredFiles = nullptr;
    release(driverDir);
    release(logText);
    release(systemDir);
    release(programDir);
}

void selectPlatformFiles(InstallContext& context) {
    context.monitorFile = L"orvmon64.dll";
    context.driverFile = L"orvdrv64.dll";
    context.uiFile = L"orvui64.dll";
    context.environment = L"Windows x64";
    readDriverDir(context);
    context.helpFile = L"orvhelp.chm";
}
