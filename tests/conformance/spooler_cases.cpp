// Port monitors and printer drivers: the lists, AddMonitorW loading the DLL as the spooler
// does, the monitor DLL the running spooler keeps mapped, the driver directory, and
// registration with APD_COPY_ALL_FILES from the staged files.
#include <vector>

#include "battery.h"

namespace conformance {

void probeAndFill(const std::string& id, const std::string& call, const Query& query, DWORD start,
                  size_t entrySize, const std::function<std::string(const BYTE*)>& entry) {
    DWORD probe = 0;
    for (const char* step : {".probe", ".short", ".exact"}) {
        std::vector<BYTE> buffer(step[1] == 'p' ? 0 : step[1] == 's' ? probe - 1 : probe, 0xAB);
        DWORD needed = kPoison;
        DWORD count = start;
        auto size = [probe](DWORD n) {
            return n == kPoison ? "-" : !probe ? (n ? ">0" : "0") : n == probe ? "probe" : "other";
        };
        SetLastError(kPoison);
        BOOL ok = query(buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()),
                        &needed, &count);
        DWORD error = GetLastError();
        std::string entries = ok && !buffer.empty() ? " " : "";
        for (DWORD i = 0; !entries.empty() && i < count; ++i) {
            entries += "[" + entry(buffer.data() + i * entrySize) + "]";
        }
        line(id + step, call, flag(ok), error,
             std::string("needed=") + size(needed) + " returned=" + num(count) + entries);
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
    closeIfOpen(
        CASE(writeId, "",
             CreateFileW(dll, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
             handle));
    if (deleteId) {
        CASE(deleteId, "", DeleteFileW(dll), flag);
    }
}

using namespace std::placeholders;

void monitorCases() {
    auto enumerate = [](const std::string& id) {
        probeAndFill<MONITOR_INFO_2W>(
            id, "EnumMonitorsW", std::bind(EnumMonitorsW, nullptr, 2, _1, _2, _3, _4),
            [](const MONITOR_INFO_2W& m) {
                return spaced(text(m.pName), text(m.pEnvironment), path(m.pDLLName));
            });
    };
    copyFile(L"C:\\conf\\bin\\confmon.dll", L"C:\\Windows\\system32\\confmon.dll");
    copyFile(L"C:\\conf\\bin\\confdrv.dll", L"C:\\Windows\\system32\\confplain.dll");
    enumerate("monitor.enum.fresh");
    const WCHAR *dll = L"confmon.dll", *other = L"M1:";
    const Row<const WCHAR*, const WCHAR*, const WCHAR*, DWORD> adds[] = {
        {"monitor.add.new", kMonitor, kEnvironment, dll, 2},
        {"monitor.add.installed", kMonitor, kEnvironment, dll, 2},
        {"monitor.add.installed-other-case", L"conf:", kEnvironment, dll, 2},
        {"monitor.add.built-in", L"local port", kEnvironment, dll, 2},
        {"monitor.add.dll-missing", other, kEnvironment, L"missing.dll", 2},
        {"monitor.add.dll-not-a-monitor", other, kEnvironment, L"confplain.dll", 2},
        {"monitor.add.empty-name", L"", kEnvironment, dll, 2},
        {"monitor.add.empty-dll", other, kEnvironment, L"", 2},
        {"monitor.add.level-1", other, kEnvironment, dll, 1},
        {"monitor.add.unknown-environment", other, L"Windows Bogus", dll, 2},
        {"monitor.add.other-environment", other, L"Windows NT x86", dll, 2},
        {"monitor.add.environment-other-case", other, L"WINDOWS X64", dll, 2},
        {"monitor.add.full-path", other, kEnvironment, L"C:\\Windows\\system32\\confmon.dll", 2},
    };
    for (const auto& [id, name, environment, file, level] : adds) {
        MONITOR_INFO_2W info = {arg(name), arg(environment), arg(file)};
        CASE(id, text(name) + "," + text(environment) + "," + text(file),
             AddMonitorW(nullptr, level, bytes(&info)), flag);
        DeleteMonitorW(nullptr, nullptr, arg(other));
    }
    enumerate("monitor.enum.added");
    heldMonitorCases("monitor.held.write", "monitor.held.delete");
    for (const auto& [id, environment, name] :
         {Row<const WCHAR*, const WCHAR*>{"monitor.delete.unknown", nullptr, L"Nobody:"},
          {"monitor.delete.empty-name", nullptr, L""},
          {"monitor.delete.unknown-environment", L"Windows Bogus", L"Nobody:"}}) {
        CASE(id, text(environment) + "," + text(name),
             DeleteMonitorW(nullptr, arg(environment), arg(name)), flag);
    }
}

void driverCases() {
    auto enumerate = [](const std::string& id) {
        probeAndFill<DRIVER_INFO_6W>(
            id, "EnumPrinterDriversW",
            std::bind(EnumPrinterDriversW, nullptr, arg(kEnvironment), 6, _1, _2, _3, _4),
            [](const DRIVER_INFO_6W& d) {
                return spaced("v" + num(d.cVersion), text(d.pName), text(d.pEnvironment),
                              path(d.pDriverPath), path(d.pDataFile), path(d.pConfigFile),
                              path(d.pHelpFile), text(d.pszMfgName), text(d.pszOEMUrl),
                              text(d.pszProvider));
            });
    };
    copyFile(L"C:\\conf\\bin\\confdrv.dll", CONF_DRIVER_DIR L"\\confdrv.dll");
    copyFile(L"C:\\conf\\bin\\confui.dll", CONF_DRIVER_DIR L"\\confui.dll");
    copyFile(L"C:\\conf\\file.txt", CONF_DRIVER_DIR L"\\conf.hlp");
    const Row<const WCHAR*, DWORD> directories[] = {
        {"driver.dir.own", kEnvironment, 1},
        {"driver.dir.null-environment", nullptr, 1},
        {"driver.dir.empty-environment", L"", 1},
        {"driver.dir.other-case", L"windows X64", 1},
        {"driver.dir.32-bit", L"Windows NT x86", 1},
        {"driver.dir.unknown-environment", L"Windows Bogus", 1},
        {"driver.dir.level-2", kEnvironment, 2},
    };
    for (const auto& [id, environment, level] : directories) {
        WCHAR buffer[256] = {0};
        DWORD needed = kPoison;
        CASE(id, text(environment) + "," + num(level),
             GetPrinterDriverDirectoryW(nullptr, arg(environment), level, bytes(buffer), 512,
                                        &needed),
             flag, "needed=" + num(needed) + " path=" + (result_ ? path(buffer) : "-"));
    }
    DWORD needed = kPoison;
    CASE("driver.dir.probe", "",
         GetPrinterDriverDirectoryW(nullptr, arg(kEnvironment), 1, nullptr, 0, &needed), flag,
         "needed=" + num(needed));
    enumerate("driver.enum.fresh");
    // Rows that must not register the driver take it away again.
    // level, version, environment, flags, the configuration file (null: the staged one), kept.
    const Row<DWORD, DWORD, const WCHAR*, DWORD, const WCHAR*, bool> adds[] = {
        {"driver.add.level-5", 5, 3, kEnvironment, APD_COPY_ALL_FILES, nullptr, false},
        {"driver.add.undefined-flag", 6, 3, kEnvironment, 0x100, nullptr, false},
        {"driver.add.version-4", 6, 4, kEnvironment, APD_COPY_ALL_FILES, nullptr, false},
        {"driver.add.unknown-environment", 6, 3, L"Windows Bogus", APD_COPY_ALL_FILES, nullptr,
         false},
        {"driver.add.file-missing", 6, 3, kEnvironment, APD_COPY_ALL_FILES,
         L"C:\\Windows\\system32\\spool\\drivers\\x64\\missing.dll", false},
        {"driver.add.new", 6, 3, kEnvironment, APD_COPY_ALL_FILES, nullptr, true},
        {"driver.add.again", 6, 3, kEnvironment, APD_COPY_ALL_FILES, nullptr, true},
    };
    WCHAR *driver = arg(CONF_DRIVER_DIR L"\\confdrv.dll"),
          *help = arg(CONF_DRIVER_DIR L"\\conf.hlp");
    WCHAR *config = arg(CONF_DRIVER_DIR L"\\confui.dll"), *maker = arg(L"Orvanta Conformance");
    for (const auto& [id, level, version, environment, flags, other, kept] : adds) {
        // The installer's registration: the files staged in the driver directory.
        DRIVER_INFO_6W info = {version, arg(kDriver), arg(environment),
                               driver,  driver,       other ? arg(other) : config,
                               help,    nullptr,      nullptr,
                               nullptr, nullptr,      {},
                               0,       maker,        arg(L"https://orvanta.example/"),
                               nullptr, maker};
        CASE(id, num(level) + ",v" + num(version) + "," + text(environment) + "," + hex(flags),
             AddPrinterDriverExW(nullptr, level, bytes(&info), flags), flag);
        if (!kept) {
            DeletePrinterDriverExW(nullptr, arg(kEnvironment), arg(kDriver), 0, 0);
        }
    }
    for (const auto& [id, name] :
         {Row<const WCHAR*>{"driver.file.copied-driver", CONF_DRIVER_DIR L"\\3\\confdrv.dll"},
          {"driver.file.copied-config", CONF_DRIVER_DIR L"\\3\\confui.dll"},
          {"driver.file.copied-help", CONF_DRIVER_DIR L"\\3\\conf.hlp"},
          {"driver.file.staged-config", CONF_DRIVER_DIR L"\\confui.dll"}}) {
        CASE(id, path(name), GetFileAttributesW(name), hex);
    }
    enumerate("driver.enum.added");
}

} // namespace conformance
