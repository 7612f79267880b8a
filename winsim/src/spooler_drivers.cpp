// Printer drivers: GetPrinterDriverDirectoryW, AddPrinterDriverExW, EnumPrinterDriversW,
// GetPrinterDriverW, DeletePrinterDriverExW.
#include <cstring>
#include <vector>

#include <winspool.h>
#include <winver.h>

#include "spooler_buffer.h"
#include "spooler_calls.h"
#include "spooler_files.h"
#include "spooler_registry.h"
#include "winsim/text.h"

using namespace winsim;
using namespace winsim::spool;
using winsim::control::SpoolerCall;

namespace {

constexpr DWORD kCopyFlags = APD_COPY_ALL_FILES | APD_COPY_NEW_FILES;
constexpr DWORD kKnownCopyFlags =
    APD_STRICT_UPGRADE | APD_STRICT_DOWNGRADE | kCopyFlags | APD_COPY_FROM_DIRECTORY;
constexpr DWORD kKnownDeleteFlags =
    DPD_DELETE_UNUSED_FILES | DPD_DELETE_SPECIFIC_VERSION | DPD_DELETE_ALL_FILES;

// Levels 2, 3, 4 and 6 share their leading fields; 1, 5 and 8 are not modelled.
size_t driverEntrySize(DWORD level) {
    switch (level) {
    case 2:
        return sizeof(DRIVER_INFO_2W);
    case 3:
        return sizeof(DRIVER_INFO_3W);
    case 4:
        return sizeof(DRIVER_INFO_4W);
    case 6:
        return sizeof(DRIVER_INFO_6W);
    default:
        return 0;
    }
}

std::vector<std::string> multiString(LPCWSTR text) {
    std::vector<std::string> strings;
    while (text && *text) {
        strings.push_back(toUtf8(text));
        while (*text) {
            ++text;
        }
        ++text;
    }
    return strings;
}

std::vector<std::string> fileNames(const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    for (const std::string& path : paths) {
        names.push_back(fileNamePart(path));
    }
    return names;
}

// The record the spooler keeps: file-name parts only, as it copies every file itself.
DriverRecord driverFromInfo(DWORD level, const DRIVER_INFO_6W& info) {
    DriverRecord d;
    d.version = info.cVersion;
    d.driverFile = fileNamePart(toUtf8(info.pDriverPath));
    d.dataFile = fileNamePart(toUtf8(info.pDataFile));
    d.configFile = fileNamePart(toUtf8(info.pConfigFile));
    if (level >= 3) {
        d.helpFile = fileNamePart(toUtf8(info.pHelpFile));
        d.dependentFiles = fileNames(multiString(info.pDependentFiles));
        d.monitor = toUtf8(info.pMonitorName);
        d.datatype = toUtf8(info.pDefaultDataType);
    }
    if (level >= 4) {
        d.previousNames = multiString(info.pszzPreviousNames);
    }
    if (level == 6) {
        d.date = info.ftDriverDate;
        d.driverVersion = info.dwlDriverVersion;
        d.manufacturer = toUtf8(info.pszMfgName);
        d.oemUrl = toUtf8(info.pszOEMUrl);
        d.hardwareId = toUtf8(info.pszHardwareID);
        d.provider = toUtf8(info.pszProvider);
    }
    return d;
}

// Reads only the fields the level has: a DRIVER_INFO_2W is shorter than a 6W.
DRIVER_INFO_6W copyOfInfo(DWORD level, LPBYTE info) {
    DRIVER_INFO_6W copy;
    std::memset(&copy, 0, sizeof copy);
    std::memcpy(&copy, info, driverEntrySize(level));
    return copy;
}

DWORD checkDriverInfo(const DRIVER_INFO_6W& info) {
    if (!info.pName || !*info.pName || !info.pDriverPath || !info.pDataFile || !info.pConfigFile) {
        return ERROR_INVALID_PARAMETER;
    }
    if (info.cVersion >= 4) {
        return ERROR_PRINTER_DRIVER_BLOCKED;
    }
    // A 64-bit spooler installs user-mode (version 3) drivers only. INF: the exact code
    // for an older version is not established.
    return info.cVersion == 3 ? 0 : ERROR_INVALID_PARAMETER;
}

// The file version of a file with a version resource, else 0.
uint64_t fileVersionOf(const std::string& path) {
    const DWORD lastError = GetLastError();
    const std::u16string wide = toUtf16(path);
    DWORD handle = 0;
    std::vector<uint8_t> block(GetFileVersionInfoSizeW(wz(wide), &handle));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    uint64_t version = 0;
    if (!block.empty() &&
        GetFileVersionInfoW(wz(wide), 0, static_cast<DWORD>(block.size()), block.data()) &&
        VerQueryValueW(block.data(), L"\\", reinterpret_cast<LPVOID*>(&fixed), &length) &&
        fixed != nullptr) {
        version = (uint64_t{fixed->dwFileVersionMS} << 32) | fixed->dwFileVersionLS;
    }
    SetLastError(lastError);
    return version;
}

// Every file must already be staged in the driver directory; the spooler copies them into
// its version directory, with APD_COPY_NEW_FILES (onlyNewer) only those whose file version
// is not below that of the installed copy. A file missing from the staging directory fails
// the call; Windows' code for that is not documented, and 2 is the code its file copy
// reports (INF).
DWORD copyDriverFiles(const std::string& directory, const DriverRecord& driver, bool onlyNewer) {
    const std::vector<std::string> files = filesOfDriver(driver);
    for (const std::string& file : files) {
        if (!fileExists(directory + "\\" + file)) {
            return ERROR_FILE_NOT_FOUND;
        }
    }
    createDirectories(directory + "\\3");
    DWORD error = 0;
    for (size_t i = 0; i < files.size() && !error; ++i) {
        const std::string staged = directory + "\\" + files[i];
        const std::string installed = directory + "\\3\\" + files[i];
        if (onlyNewer && fileVersionOf(installed) > fileVersionOf(staged)) {
            continue;
        }
        // The spooler replaces files it has loaded itself (it moves the old ones aside).
        spooler().unloadFile(installed);
        error = copyFile(staged, installed);
    }
    spooler().refreshHolds();
    return error;
}

std::vector<std::string> fullPaths(const RegKey& environment, const DriverRecord& driver,
                                   const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        paths.push_back(driverFilePath(environment, driver, name));
    }
    return paths;
}

// One driver as the spooler reports it, with full paths to its files.
void fillDriver(DWORD level, const RegKey& environment, const RegKey& key, void* entry,
                StringArea& s) {
    const DriverRecord d = readDriver(key);
    auto path = [&](const std::string& file) { return driverFilePath(environment, d, file); };
    auto* info = static_cast<DRIVER_INFO_6W*>(entry);
    info->cVersion = d.version;
    info->pName = s.put(key.name);
    info->pEnvironment = s.put(environment.name);
    info->pDriverPath = s.put(path(d.driverFile));
    info->pDataFile = s.put(path(d.dataFile));
    info->pConfigFile = s.put(path(d.configFile));
    if (level == 2) {
        return;
    }
    info->pHelpFile = d.helpFile.empty() ? nullptr : s.put(path(d.helpFile));
    info->pDependentFiles = s.putMulti(fullPaths(environment, d, d.dependentFiles));
    info->pMonitorName = s.putOrNull(d.monitor);
    info->pDefaultDataType = s.putOrNull(d.datatype);
    if (level == 3) {
        return;
    }
    info->pszzPreviousNames = s.putMulti(d.previousNames);
    if (level == 4) {
        return;
    }
    info->ftDriverDate = d.date;
    info->dwlDriverVersion = d.driverVersion;
    info->pszMfgName = s.putOrNull(d.manufacturer);
    info->pszOEMUrl = s.putOrNull(d.oemUrl);
    info->pszHardwareID = s.putOrNull(d.hardwareId);
    info->pszProvider = s.putOrNull(d.provider);
}

// Printers use drivers of the spooler's own environment.
bool driverInUse(const RegKey& environment, const std::string& name) {
    if (!sameNameIgnoringCase(environment.name, kOwnEnvironment)) {
        return false;
    }
    for (RegKey* printer : children(printersKey())) {
        if (sameNameIgnoringCase(readPrinter(*printer).driver, name)) {
            return true;
        }
    }
    return false;
}

// Files of other drivers of the environment, which a deletion must not take along.
bool sharedWithOtherDriver(RegKey& environment, const RegKey& driver, const std::string& path) {
    for (RegKey* other : listedDrivers(environment)) {
        if (other == &driver) {
            continue;
        }
        const DriverRecord record = readDriver(*other);
        for (const std::string& used : filesOfDriver(record)) {
            if (sameNameIgnoringCase(driverFilePath(environment, record, used), path)) {
                return true;
            }
        }
    }
    return false;
}

// A file the spooler cannot delete now goes at the next boot.
void deleteDriverFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        const DWORD error = deleteFile(path);
        if (error && error != ERROR_FILE_NOT_FOUND) {
            deleteAtReboot(path);
        }
    }
}

} // namespace

BOOL WINAPI GetPrinterDriverDirectoryW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level,
                                       LPBYTE pDriverDirectory, DWORD cbBuf, LPDWORD pcbNeeded) {
    (void)pName;
    if (!pcbNeeded) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!spooler().answers(SpoolerCall::GetPrinterDriverDirectory)) {
        return FALSE;
    }
    if (spooler().sizelessDirectoryAnswers > 0) {
        --spooler().sizelessDirectoryAnswers;
        *pcbNeeded = 0;
        return TRUE;
    }
    const RegKey* environment = findEnvironment(pEnvironment);
    if (!environment) {
        return fail(ERROR_INVALID_ENVIRONMENT);
    }
    if (Level != 1) {
        return fail(ERROR_INVALID_LEVEL);
    }
    if (cbBuf != 0 && !pDriverDirectory) {
        return fail(ERROR_INVALID_USER_BUFFER);
    }
    const std::u16string path = toUtf16(driverDirectory(*environment));
    const DWORD needed = static_cast<DWORD>((path.size() + 1) * sizeof(WCHAR));
    *pcbNeeded = needed;
    if (cbBuf < needed) {
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(pDriverDirectory, path.c_str(), needed);
    return TRUE;
}

BOOL WINAPI AddPrinterDriverExW(LPWSTR pName, DWORD Level, LPBYTE pDriverInfo,
                                DWORD dwFileCopyFlags) {
    (void)pName;
    if (!spooler().answers(SpoolerCall::AddPrinterDriverEx)) {
        return FALSE;
    }
    if (driverEntrySize(Level) == 0) {
        return fail(ERROR_INVALID_LEVEL);
    }
    if (!pDriverInfo || (dwFileCopyFlags & ~kKnownCopyFlags)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!administrator()) {
        return fail(ERROR_ACCESS_DENIED);
    }
    const DRIVER_INFO_6W info = copyOfInfo(Level, pDriverInfo);
    if (DWORD error = checkDriverInfo(info)) {
        return fail(error);
    }
    RegKey* environment = findEnvironment(info.pEnvironment);
    if (!environment) {
        return fail(ERROR_INVALID_ENVIRONMENT);
    }
    const DriverRecord driver = driverFromInfo(Level, info);
    if (dwFileCopyFlags & kCopyFlags) {
        if (DWORD error = copyDriverFiles(driverDirectory(*environment), driver,
                                          (dwFileCopyFlags & APD_COPY_ALL_FILES) == 0)) {
            return fail(error);
        }
    }
    const std::string name = toUtf8(info.pName);
    const std::string path = environmentKeyPath(environment->name) + "\\Drivers\\Version-3\\";
    machine().registry.removeTree(Hive::LocalMachine, path + name);
    writeDriver(*machine().registry.create(Hive::LocalMachine, path + name), driver);
    spooler().refreshHolds();
    return TRUE;
}

BOOL WINAPI EnumPrinterDriversW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo,
                                DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
    (void)pName;
    if (!pcbNeeded || !pcReturned) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!spooler().answers(SpoolerCall::EnumPrinterDrivers)) {
        return FALSE;
    }
    RegKey* environment = findEnvironment(pEnvironment);
    if (!environment) {
        return fail(ERROR_INVALID_ENVIRONMENT);
    }
    if (driverEntrySize(Level) == 0) {
        return fail(ERROR_INVALID_LEVEL);
    }
    const std::vector<RegKey*> drivers = listedDrivers(*environment);
    auto fill = [&](size_t i, void* entry, StringArea& strings) {
        fillDriver(Level, *environment, *drivers[i], entry, strings);
    };
    return answerEntries(driverEntrySize(Level), drivers.size(), fill, pDriverInfo, cbBuf,
                         pcbNeeded, pcReturned);
}

BOOL WINAPI GetPrinterDriverW(HANDLE hPrinter, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo,
                              DWORD cbBuf, LPDWORD pcbNeeded) {
    if (!pcbNeeded) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!spooler().answers(SpoolerCall::GetPrinterDriver)) {
        return FALSE;
    }
    RegKey* printer = printerOfHandle(hPrinter);
    if (!printer) {
        return FALSE;
    }
    RegKey* environment = findEnvironment(pEnvironment);
    if (!environment) {
        return fail(ERROR_INVALID_ENVIRONMENT);
    }
    if (driverEntrySize(Level) == 0) {
        return fail(ERROR_INVALID_LEVEL);
    }
    RegKey* driver = findDriverIn(*environment, readPrinter(*printer).driver);
    if (!driver) {
        return fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    }
    auto fill = [&](size_t, void* entry, StringArea& strings) {
        fillDriver(Level, *environment, *driver, entry, strings);
    };
    if (answerEntries(driverEntrySize(Level), 1, fill, pDriverInfo, cbBuf, pcbNeeded, nullptr)) {
        return TRUE;
    }
    // Windows zero-fills the caller's buffer even when it is too small.
    if (pDriverInfo && machine().lastError == ERROR_INSUFFICIENT_BUFFER) {
        std::memset(pDriverInfo, 0, cbBuf);
    }
    return FALSE;
}

BOOL WINAPI DeletePrinterDriverExW(LPWSTR pName, LPWSTR pEnvironment, LPWSTR pDriverName,
                                   DWORD dwDeleteFlag, DWORD dwVersionFlag) {
    (void)pName;
    if (!spooler().answers(SpoolerCall::DeletePrinterDriverEx)) {
        return FALSE;
    }
    const std::string name = toUtf8(pDriverName);
    if (name.empty() || (dwDeleteFlag & ~kKnownDeleteFlags)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!administrator()) {
        return fail(ERROR_ACCESS_DENIED);
    }
    RegKey* environment = findEnvironment(pEnvironment);
    if (!environment) {
        return fail(ERROR_INVALID_ENVIRONMENT);
    }
    RegKey* driver = findDriverIn(*environment, name);
    const DriverRecord record = driver ? readDriver(*driver) : DriverRecord();
    if (!driver ||
        ((dwDeleteFlag & DPD_DELETE_SPECIFIC_VERSION) && dwVersionFlag != record.version)) {
        return fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    }
    if (driverInUse(*environment, name)) {
        return fail(ERROR_PRINTER_DRIVER_IN_USE);
    }
    std::vector<std::string> unshared;
    for (const std::string& file : filesOfDriver(record)) {
        const std::string path = driverFilePath(*environment, record, file);
        if (!sharedWithOtherDriver(*environment, *driver, path)) {
            unshared.push_back(path);
        } else if (dwDeleteFlag & DPD_DELETE_ALL_FILES) {
            // INF: RPRN refuses without naming the code; "in use" is what the file is.
            return fail(ERROR_PRINTER_DRIVER_IN_USE);
        }
    }
    machine().registry.removeTree(Hive::LocalMachine,
                                  environmentKeyPath(environment->name) + "\\Drivers\\Version-" +
                                      std::to_string(record.version) + "\\" + driver->name);
    if (dwDeleteFlag & (DPD_DELETE_ALL_FILES | DPD_DELETE_UNUSED_FILES)) {
        deleteDriverFiles(unshared);
    }
    spooler().refreshHolds();
    return TRUE;
}
