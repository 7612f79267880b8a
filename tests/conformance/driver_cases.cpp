// Printer drivers: the driver directory, registration with APD_COPY_ALL_FILES from the
// staged files, its refusals, and what the spooler lists afterwards.
#include <string>

#include "battery.h"
#include "report.h"
#include "spooler_support.h"

namespace conformance {

namespace {

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

void directoryCases() {
    for (const DirectoryRow& row : kDirectories) {
        BYTE buffer[512] = {0};
        DWORD needed = kPoison;
        poison();
        BOOL ok = GetPrinterDriverDirectoryW(nullptr, arg(row.environment), row.level, buffer,
                                             sizeof buffer, &needed);
        DWORD error = GetLastError();
        line(row.id,
             "GetPrinterDriverDirectoryW(" + text(row.environment) + "," + num(row.level) + ")",
             flag(ok), error,
             "needed=" + num(needed) +
                 " path=" + (ok ? path(reinterpret_cast<WCHAR*>(buffer)) : "-"));
    }
    DWORD needed = kPoison;
    poison();
    BOOL ok = GetPrinterDriverDirectoryW(nullptr, arg(kEnvironment), 1, nullptr, 0, &needed);
    line("driver.dir.probe", "GetPrinterDriverDirectoryW(probe)", flag(ok), GetLastError(),
         "needed=" + num(needed));
}

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
        info.pDriverPath = driver;
        info.pDataFile = driver;
        info.pConfigFile = config;
        info.pHelpFile = help;
        info.pszMfgName = arg(L"Orvanta Conformance");
        info.pszOEMUrl = arg(L"https://orvanta.example/");
        info.pszProvider = arg(L"Orvanta Conformance");
    }
};

struct AddRow {
    const char* id;
    DWORD level;
    DWORD version;
    const WCHAR* environment;
    DWORD flags;
    const WCHAR* config; // null: the staged one
};

const AddRow kAdds[] = {
    {"driver.add.level-5", 5, 3, kEnvironment, APD_COPY_ALL_FILES, nullptr},
    {"driver.add.undefined-flag", 6, 3, kEnvironment, 0x100, nullptr},
    {"driver.add.version-4", 6, 4, kEnvironment, APD_COPY_ALL_FILES, nullptr},
    {"driver.add.unknown-environment", 6, 3, L"Windows Bogus", APD_COPY_ALL_FILES, nullptr},
    {"driver.add.file-missing", 6, 3, kEnvironment, APD_COPY_ALL_FILES,
     L"C:\\Windows\\system32\\spool\\drivers\\x64\\missing.dll"},
    {"driver.add.new", 6, 3, kEnvironment, APD_COPY_ALL_FILES, nullptr},
    {"driver.add.again", 6, 3, kEnvironment, APD_COPY_ALL_FILES, nullptr},
};

void addCases() {
    for (const AddRow& row : kAdds) {
        DriverInfo driver;
        driver.info.cVersion = row.version;
        driver.info.pEnvironment = arg(row.environment);
        if (row.config) {
            driver.info.pConfigFile = arg(row.config);
        }
        poison();
        BOOL ok = AddPrinterDriverExW(nullptr, row.level, reinterpret_cast<LPBYTE>(&driver.info),
                                      row.flags);
        DWORD error = GetLastError();
        line(row.id,
             "AddPrinterDriverExW(" + num(row.level) + ",v" + num(row.version) + "," +
                 text(row.environment) + "," + hex(row.flags) + ")",
             flag(ok), error);
        if (!row.config && row.version == 3 && row.flags == APD_COPY_ALL_FILES && row.level == 6) {
            continue; // the registration the later families use
        }
        DeletePrinterDriverExW(nullptr, arg(kEnvironment), arg(kDriver), 0, 0);
    }
}

struct FileRow {
    const char* id;
    const WCHAR* file;
};

const FileRow kFiles[] = {
    {"driver.file.copied-driver", L"\\3\\confdrv.dll"},
    {"driver.file.copied-config", L"\\3\\confui.dll"},
    {"driver.file.copied-help", L"\\3\\conf.hlp"},
    {"driver.file.staged-config", L"\\confui.dll"},
};

void copiedFileCases() {
    for (const FileRow& row : kFiles) {
        Joined full = join(kDriverDir, row.file);
        poison();
        DWORD attributes = GetFileAttributesW(full);
        line(row.id, "GetFileAttributesW(" + path(full) + ")", hex(attributes), GetLastError());
    }
}

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

void enumerate(const std::string& id) {
    probeAndFill(
        id, "EnumPrinterDriversW(6)",
        [](LPBYTE b, DWORD n, DWORD* need, DWORD* count) {
            return EnumPrinterDriversW(nullptr, arg(kEnvironment), 6, b, n, need, count);
        },
        drivers);
}

} // namespace

void driverCases() {
    for (const WCHAR* file : {L"\\confdrv.dll", L"\\confui.dll"}) {
        copyFile(join(L"C:\\conf\\bin", file), join(kDriverDir, file));
    }
    copyFile(L"C:\\conf\\file.txt", join(kDriverDir, L"\\conf.hlp"));
    directoryCases();
    enumerate("driver.enum.fresh");
    addCases();
    copiedFileCases();
    enumerate("driver.enum.added");
}

} // namespace conformance
