// Port monitors and printer drivers: the lists, AddMonitorW loading the DLL as the spooler
// does, the monitor DLL the running spooler keeps mapped, the driver directory, and
// registration with APD_COPY_ALL_FILES from the staged files.
#include <string>
#include <vector>

#include "battery.h"
#include "report.h"
#include "spooler_support.h"

namespace conformance {

const WCHAR kMonitor[] = L"CONF:";
const WCHAR kDriver[] = L"Conf driver";
const WCHAR kPrinter[] = L"Conf printer";
const WCHAR kSecond[] = L"Conf second";
const WCHAR kEnvironment[] = L"Windows x64";
const WCHAR kDriverDir[] = L"C:\\Windows\\system32\\spool\\drivers\\x64";

void probeAndFill(const std::string& id, const std::string& call, const Query& query,
                  const Describe& describe) {
    DWORD probe = 0;
    for (const char* step : {".probe", ".short", ".exact"}) {
        std::vector<BYTE> buffer(step[1] == 'p' ? 0 : step[1] == 's' ? probe - 1 : probe, 0xAB);
        DWORD needed = kPoison;
        DWORD count = kPoison;
        auto size = [probe](DWORD n) {
            return n == kPoison ? "-" : !probe ? (n ? ">0" : "0") : n == probe ? "probe" : "other";
        };
        poison();
        BOOL ok = query(buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()),
                        &needed, &count);
        DWORD error = GetLastError();
        line((id + step).c_str(), call, flag(ok), error,
             std::string("needed=") + size(needed) + " returned=" + num(count) +
                 (ok && !buffer.empty() ? " " + describe(buffer.data(), count) : ""));
        probe = probe ? probe : needed;
        if (probe == 0 || probe == kPoison) {
            return;
        }
    }
}

HANDLE openPrinter(const WCHAR* name, ACCESS_MASK access) {
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
    HANDLE h = nullptr;
    return OpenPrinterW(arg(name), &h, &defaults) ? h : nullptr;
}

void heldMonitorCases(const char* writeId, const char* deleteId) {
    const WCHAR dll[] = L"C:\\Windows\\system32\\confmon.dll";
    HANDLE h = INVALID_HANDLE_VALUE;
    CASE(writeId, "",
         h = CreateFileW(dll, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
         handle, "");
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
    }
    if (deleteId) {
        CASE(deleteId, "", DeleteFileW(dll), flag, "");
    }
}

namespace {

struct MonitorRow {
    const char* id;
    const WCHAR* name;
    const WCHAR* environment;
    const WCHAR* dll;
    DWORD level;
};

const MonitorRow kMonitorAdds[] = {
    {"monitor.add.new", kMonitor, kEnvironment, L"confmon.dll", 2},
    {"monitor.add.installed", kMonitor, kEnvironment, L"confmon.dll", 2},
    {"monitor.add.installed-other-case", L"conf:", kEnvironment, L"confmon.dll", 2},
    {"monitor.add.built-in", L"local port", kEnvironment, L"confmon.dll", 2},
    {"monitor.add.dll-missing", L"M1:", kEnvironment, L"missing.dll", 2},
    {"monitor.add.dll-not-a-monitor", L"M1:", kEnvironment, L"confplain.dll", 2},
    {"monitor.add.empty-name", L"", kEnvironment, L"confmon.dll", 2},
    {"monitor.add.empty-dll", L"M1:", kEnvironment, L"", 2},
    {"monitor.add.level-1", L"M1:", kEnvironment, L"confmon.dll", 1},
    {"monitor.add.unknown-environment", L"M1:", L"Windows Bogus", L"confmon.dll", 2},
    {"monitor.add.other-environment", L"M1:", L"Windows NT x86", L"confmon.dll", 2},
    {"monitor.add.environment-other-case", L"M1:", L"WINDOWS X64", L"confmon.dll", 2},
    {"monitor.add.full-path", L"M1:", kEnvironment, L"C:\\Windows\\system32\\confmon.dll", 2},
};

const MonitorRow kMonitorDeletes[] = {
    {"monitor.delete.unknown", L"Nobody:", nullptr, nullptr, 0},
    {"monitor.delete.empty-name", L"", nullptr, nullptr, 0},
    {"monitor.delete.unknown-environment", L"Nobody:", L"Windows Bogus", nullptr, 0},
};

std::string monitors(const BYTE* buffer, DWORD count) {
    std::string out;
    const MONITOR_INFO_2W* info = reinterpret_cast<const MONITOR_INFO_2W*>(buffer);
    for (DWORD i = 0; i < count; ++i) {
        out += "[" + text(info[i].pName) + " " + text(info[i].pEnvironment) + " " +
               path(info[i].pDLLName) + "]";
    }
    return out;
}

void enumerateMonitors(const std::string& id) {
    probeAndFill(
        id, "EnumMonitorsW",
        [](LPBYTE b, DWORD n, DWORD* need, DWORD* count) {
            return EnumMonitorsW(nullptr, 2, b, n, need, count);
        },
        monitors);
}

struct DirectoryRow {
    const char* id;
    const WCHAR* environment;
    DWORD level;
};

const DirectoryRow kDirectories[] = {
    {"driver.dir.own", kEnvironment, 1},
    {"driver.dir.null-environment", nullptr, 1},
    {"driver.dir.empty-environment", L"", 1},
    {"driver.dir.other-case", L"windows X64", 1},
    {"driver.dir.32-bit", L"Windows NT x86", 1},
    {"driver.dir.unknown-environment", L"Windows Bogus", 1},
    {"driver.dir.level-2", kEnvironment, 2},
};

// The installer's registration: level 6, files staged in the driver directory.
struct DriverInfo {
    Joined driver = join(kDriverDir, L"\\confdrv.dll");
    Joined config = join(kDriverDir, L"\\confui.dll");
    Joined help = join(kDriverDir, L"\\conf.hlp");
    DRIVER_INFO_6W info = {};

    DriverInfo() {
        info.cVersion = 3;
        info.pName = arg(kDriver);
        info.pEnvironment = arg(kEnvironment);
        info.pDriverPath = info.pDataFile = driver;
        info.pConfigFile = config;
        info.pHelpFile = help;
        info.pszMfgName = info.pszProvider = arg(L"Orvanta Conformance");
        info.pszOEMUrl = arg(L"https://orvanta.example/");
    }
};

struct DriverRow {
    const char* id;
    DWORD level;
    DWORD version;
    const WCHAR* environment;
    DWORD flags;
    const WCHAR* config; // null: the staged one
};

const DriverRow kDriverAdds[] = {
    {"driver.add.level-5", 5, 3, kEnvironment, APD_COPY_ALL_FILES, nullptr},
    {"driver.add.undefined-flag", 6, 3, kEnvironment, 0x100, nullptr},
    {"driver.add.version-4", 6, 4, kEnvironment, APD_COPY_ALL_FILES, nullptr},
    {"driver.add.unknown-environment", 6, 3, L"Windows Bogus", APD_COPY_ALL_FILES, nullptr},
    {"driver.add.file-missing", 6, 3, kEnvironment, APD_COPY_ALL_FILES,
     L"C:\\Windows\\system32\\spool\\drivers\\x64\\missing.dll"},
    {"driver.add.new", 6, 3, kEnvironment, APD_COPY_ALL_FILES, nullptr},
    {"driver.add.again", 6, 3, kEnvironment, APD_COPY_ALL_FILES, nullptr},
};

struct FileRow {
    const char* id;
    const WCHAR* file;
};

const FileRow kDriverFiles[] = {
    {"driver.file.copied-driver", L"\\3\\confdrv.dll"},
    {"driver.file.copied-config", L"\\3\\confui.dll"},
    {"driver.file.copied-help", L"\\3\\conf.hlp"},
    {"driver.file.staged-config", L"\\confui.dll"},
};

std::string drivers(const BYTE* buffer, DWORD count) {
    std::string out;
    const DRIVER_INFO_6W* info = reinterpret_cast<const DRIVER_INFO_6W*>(buffer);
    for (DWORD i = 0; i < count; ++i) {
        out += "[v" + num(info[i].cVersion) + " " + text(info[i].pName) + " " +
               text(info[i].pEnvironment) + " " + path(info[i].pDriverPath) + " " +
               path(info[i].pDataFile) + " " + path(info[i].pConfigFile) + " " +
               path(info[i].pHelpFile) + " " + text(info[i].pszMfgName) + " " +
               text(info[i].pszOEMUrl) + " " + text(info[i].pszProvider) + "]";
    }
    return out;
}

void enumerateDrivers(const std::string& id) {
    probeAndFill(
        id, "EnumPrinterDriversW",
        [](LPBYTE b, DWORD n, DWORD* need, DWORD* count) {
            return EnumPrinterDriversW(nullptr, arg(kEnvironment), 6, b, n, need, count);
        },
        drivers);
}

} // namespace

void monitorCases() {
    copyFile(L"C:\\conf\\bin\\confmon.dll", L"C:\\Windows\\system32\\confmon.dll");
    copyFile(L"C:\\conf\\bin\\confdrv.dll", L"C:\\Windows\\system32\\confplain.dll");
    enumerateMonitors("monitor.enum.fresh");
    for (const MonitorRow& row : kMonitorAdds) {
        MONITOR_INFO_2W info = {arg(row.name), arg(row.environment), arg(row.dll)};
        CASE(row.id, text(row.name) + "," + text(row.environment) + "," + text(row.dll),
             AddMonitorW(nullptr, row.level, reinterpret_cast<LPBYTE>(&info)), flag, "");
        DeleteMonitorW(nullptr, nullptr, arg(L"M1:"));
    }
    enumerateMonitors("monitor.enum.added");
    heldMonitorCases("monitor.held.write", "monitor.held.delete");
    for (const MonitorRow& row : kMonitorDeletes) {
        CASE(row.id, text(row.environment) + "," + text(row.name),
             DeleteMonitorW(nullptr, arg(row.environment), arg(row.name)), flag, "");
    }
}

void driverCases() {
    for (const WCHAR* file : {L"\\confdrv.dll", L"\\confui.dll"}) {
        copyFile(join(L"C:\\conf\\bin", file), join(kDriverDir, file));
    }
    copyFile(L"C:\\conf\\file.txt", join(kDriverDir, L"\\conf.hlp"));
    for (const DirectoryRow& row : kDirectories) {
        BYTE buffer[512] = {0};
        DWORD needed = kPoison;
        CASE(row.id, text(row.environment) + "," + num(row.level),
             GetPrinterDriverDirectoryW(nullptr, arg(row.environment), row.level, buffer,
                                        sizeof buffer, &needed),
             flag,
             "needed=" + num(needed) +
                 " path=" + (result_ ? path(reinterpret_cast<WCHAR*>(buffer)) : "-"));
    }
    DWORD needed = kPoison;
    CASE("driver.dir.probe", "",
         GetPrinterDriverDirectoryW(nullptr, arg(kEnvironment), 1, nullptr, 0, &needed), flag,
         "needed=" + num(needed));
    enumerateDrivers("driver.enum.fresh");
    for (const DriverRow& row : kDriverAdds) {
        DriverInfo driver;
        driver.info.cVersion = row.version;
        driver.info.pEnvironment = arg(row.environment);
        driver.info.pConfigFile = row.config ? arg(row.config) : driver.info.pConfigFile;
        CASE(row.id,
             num(row.level) + ",v" + num(row.version) + "," + text(row.environment) + "," +
                 hex(row.flags),
             AddPrinterDriverExW(nullptr, row.level, reinterpret_cast<LPBYTE>(&driver.info),
                                 row.flags),
             flag, "");
        if (row.level != 6 || row.version != 3 || row.flags != APD_COPY_ALL_FILES || row.config ||
            row.environment != kEnvironment) {
            DeletePrinterDriverExW(nullptr, arg(kEnvironment), arg(kDriver), 0, 0);
        }
    }
    for (const FileRow& row : kDriverFiles) {
        Joined full = join(kDriverDir, row.file);
        CASE(row.id, path(full), GetFileAttributesW(full), hex, "");
    }
    enumerateDrivers("driver.enum.added");
}

} // namespace conformance
