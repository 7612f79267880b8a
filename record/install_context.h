// The record of one install or uninstall run: its directories, the product file names,
// the flags that steer the port monitor steps, the log and the lists the run builds up.
// Every layer borrows it, so it lives below them all; the run wrapper sets it up and
// releases it.
#pragma once

#include <windows.h>
#include <winspool.h>

#include "record/printer_list.h"
#include "record/wide_text_type.h"

struct DeferredFile;
struct KeptPrinter;

struct InstallContext {
    WideText programDir;
    WideText systemDir;
    WideText logText;
    WideText driverDir;
    const WCHAR* environment;
    const WCHAR* monitorFile;
    const WCHAR* driverFile;
    const WCHAR* helpFile;
    const WCHAR* uiFile;
    bool reinstall;
    bool InstallMonitor;
    bool CopyMonitor;
    LONG errorCount;
    LONG logDepth;
    DeferredFile* deferredFiles;
    KeptPrinter* keptPrinters;
    PrinterList printers;
    PRINTER_INFO_2W** parkedPrinters;

    // Set-up writes the first log lines and reads the directories; its failures are
    // logged and counted, and it never stops the run.
    InstallContext();
    ~InstallContext();
    InstallContext(const InstallContext&) = delete;
    InstallContext& operator=(const InstallContext&) = delete;
};
