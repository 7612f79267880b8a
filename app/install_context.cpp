#include "app/install_context.h"

#include "app/module_instance.h"
#include "log/install_log.h"
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
}

// Order: the parked-printer array, the printer array, the kept-printer list, the
// deferred-file list, then the texts.
InstallContext::~InstallContext() {
    if (parkedPrinters != nullptr) {
        GlobalFree(parkedPrinters);
        parkedPrinters = nullptr;
    }
    if (printers.printers != nullptr) {
        GlobalFree(printers.printers);
        printers = PrinterList{nullptr, 0};
    }
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
    context.helpFile = L"orvhelp.chm";
}
