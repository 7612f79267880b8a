#include "spool/printer_driver.h"

#include "log/wide_text.h"
#include "record/install_context.h"
#include "log/install_log.h"
#include "log/text_utils.h"
#include "spool/product_names.h"
#include "spool/spooler_calls.h"
#include "system/deferred_files.h"
#include "system/file_copy.h"
#include "system/spooler_service.h"

namespace {

const size_t kStagedPathCapacity = 264;
const DWORD kDriverRecordVersion = 3;

bool stage(InstallContext& context, const WCHAR* file, WCHAR* stagedPath) {
    return copyProductFile(context, textOf(context.driverDir), file, stagedPath,
                           kStagedPathCapacity, true) == S_OK;
}

void registerDriver(InstallContext& context, WCHAR* driverPath, WCHAR* uiPath, WCHAR* helpPath) {
    DRIVER_INFO_6W driver = {};
    driver.cVersion = kDriverRecordVersion;
    driver.pName = const_cast<LPWSTR>(kProductDriver);
    driver.pEnvironment = const_cast<LPWSTR>(context.environment);
    // The driver DLL is its own data file.
    driver.pDriverPath = driverPath;
    driver.pDataFile = driverPath;
    driver.pConfigFile = uiPath;
    driver.pHelpFile = helpPath;
    driver.pszMfgName = const_cast<LPWSTR>(kProductMaker);
    driver.pszOEMUrl = const_cast<LPWSTR>(kProductWebAddress);
    driver.pszProvider = const_cast<LPWSTR>(kProductMaker);
    if (installDriver(driver)) {
        logLine(context, L"OK :)");
    } else {
        logError(context, 13, L"Can`t install a printer driver 'Folioscope printer'");
    }
}

// The spooler has taken its own copies; the staged ones are ours to remove. An empty path
// (a help file that was not staged) names nothing to delete.
void deleteStagedCopy(InstallContext& context, const WCHAR* path) {
    if (path[0] != L'\0' && !DeleteFileW(path)) {
        addDeferredFile(context.deferredFiles, path);
    }
}

void stageAndRegister(InstallContext& context) {
    WCHAR driverPath[kStagedPathCapacity] = {};
    WCHAR uiPath[kStagedPathCapacity] = {};
    WCHAR helpPath[kStagedPathCapacity] = {};
    if (!stage(context, context.driverFile, driverPath) ||
        !stage(context, context.uiFile, uiPath)) {
        return;
    }
    // The driver works without its help file.
    if (!stage(context, context.helpFile, helpPath)) {
        helpPath[0] = L'\0';
    }
    registerDriver(context, driverPath, uiPath, helpPath);
    deleteStagedCopy(context, driverPath);
    deleteStagedCopy(context, uiPath);
    deleteStagedCopy(context, helpPath);
}

void logDriverList(InstallContext& context, const DriverList& drivers) {
    if (drivers.count == 0) {
        logLine(context, L"BTW, there is no printer drivers on this system.");
        return;
    }
    logLine(context, L"------------ %d existing drivers-----------",
            static_cast<int>(drivers.count));
    for (DWORD i = 0; i < drivers.count; ++i) {
        const WCHAR* name = drivers.drivers[i].pName;
        logLine(context, L"%d. %s", static_cast<int>(i + 1),
                name != nullptr ? name : L"***EMPTY***");
    }
    logLine(context, L"-------------------------------------------");
}

BOOL deleteProductDriver(InstallContext& context) {
    return DeletePrinterDriverExW(nullptr, const_cast<LPWSTR>(context.environment),
                                  const_cast<LPWSTR>(kProductDriver), DPD_DELETE_ALL_FILES, 0);
}

// Without a list, "unknown printer driver" is the spooler's word that there is nothing to
// remove: the clean machine's answer, not a failure. A listed driver that vanished
// meanwhile still is one.
bool answeredAbsent(InstallContext& context, bool listed) {
    if (listed || GetLastError() != ERROR_UNKNOWN_PRINTER_DRIVER) {
        return false;
    }
    logLine(context, L"No Folioscope driver was found");
    return true;
}

// A driver the spooler still has loaded goes once a restart has let go of it.
void deleteDriver(InstallContext& context, bool listed) {
    if (deleteProductDriver(context)) {
        logLine(context, L"OK :)");
        return;
    }
    if (answeredAbsent(context, listed)) {
        return;
    }
    logLine(context, L"Can't delete driver. Trying to restart spooler");
    { SpoolerRestart restart(&context); }
    if (deleteProductDriver(context)) {
        logLine(context, L"OK :)");
    } else if (!answeredAbsent(context, listed)) {
        logError(context, 14, L"Can`t remove the printer-driver 'Folioscope printer'");
    }
}

void removeListedDriver(InstallContext& context, const DriverList& drivers) {
    logDriverList(context, drivers);
    int index = findProductDriver(drivers);
    if (index < 0) {
        logLine(context, L"No Folioscope driver was found");
    } else {
        logLine(context, L"Driver is found. Index=%d", index + 1);
        deleteDriver(context, true);
    }
}

template <typename Info> const WCHAR* nameAt(const DRIVER_INFO_6W* entries, DWORD index) {
    return reinterpret_cast<const Info*>(entries)[index].pName;
}

const WCHAR* driverName(const DriverList& drivers, DWORD index) {
    switch (drivers.level) {
    case 1:
        return nameAt<DRIVER_INFO_1W>(drivers.drivers, index);
    case 2:
        return nameAt<DRIVER_INFO_2W>(drivers.drivers, index);
    case 3:
        return nameAt<DRIVER_INFO_3W>(drivers.drivers, index);
    case 4:
        return nameAt<DRIVER_INFO_4W>(drivers.drivers, index);
    case 5:
        return nameAt<DRIVER_INFO_5W>(drivers.drivers, index);
    case 6:
        return nameAt<DRIVER_INFO_6W>(drivers.drivers, index);
    default:
        return nullptr;
    }
}

} // namespace

void installPrinterDriver(InstallContext& context) {
    logLine(context, L">Add Printer Driver");
    ++context.logDepth;
    stageAndRegister(context);
    --context.logDepth;
}

void removePrinterDriver(InstallContext& context, const DriverList& drivers) {
    logLine(context, L">DeletePrinterDriver for %s", context.environment);
    ++context.logDepth;
    if (drivers.failed) {
        // Not knowing is no reason to leave the driver registered; the call names it.
        logLine(context, L"Can't list printer drivers. Trying to delete the driver anyway");
        deleteDriver(context, false);
    } else {
        removeListedDriver(context, drivers);
    }
    --context.logDepth;
}

int findProductDriver(const DriverList& drivers) {
    for (DWORD i = 0; i < drivers.count; ++i) {
        const WCHAR* name = driverName(drivers, i);
        if (name != nullptr && sameText(name, kProductDriver)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}
