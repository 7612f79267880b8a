// Printers: AddPrinterW's checks in the spooler's order, the lists, OpenPrinterW's names,
// GetPrinterW/GetPrinterDriverW, SetPrinterW, the user's default printer and printer data;
// the spooler's answers while its service is stopped; and taking it all down as the
// uninstaller does.
#include "battery.h"

namespace conformance {

namespace {

using namespace std::placeholders;

// A PRINTER_INFO_2W as the installer fills it.
PRINTER_INFO_2W printerInfo(const WCHAR* name, const WCHAR* port, const WCHAR* driver) {
    PRINTER_INFO_2W info = {};
    info.pPrinterName = arg(name);
    info.pPortName = arg(port);
    info.pDriverName = arg(driver);
    info.pPrintProcessor = arg(L"WinPrint");
    info.pDatatype = arg(L"RAW");
    info.pComment = info.pLocation = arg(L"");
    return info;
}

std::string printerFields(const PRINTER_INFO_2W& p) {
    return spaced(text(p.pPrinterName), text(p.pPortName), text(p.pDriverName), text(p.pComment),
                  text(p.pLocation), text(p.pPrintProcessor), text(p.pDatatype),
                  "attributes=" + hex(p.Attributes), "status=" + hex(p.Status),
                  "jobs=" + num(p.cJobs));
}

void enumerate(const std::string& id) {
    probeAndFill<PRINTER_INFO_2W>(id, "EnumPrintersW",
                                  std::bind(EnumPrintersW,
                                            PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr,
                                            2, _1, _2, _3, _4),
                                  printerFields);
}

void getDefault(const char* id, DWORD chars) {
    WCHAR name[64] = {0};
    DWORD size = chars;
    CASE(id, num(chars), GetDefaultPrinterW(name, &size), flag,
         "chars=" + num(size) + " name=" + (result_ ? text(name) : "-"));
}

// Each refusal breaks the checks from the one it names on: the first broken one decides.
void addCases() {
    const Row<const WCHAR*, const WCHAR*, const WCHAR*, const WCHAR*> adds[] = {
        {"printer.add.unknown-driver", L"New", L"NOPE:", L"No driver", L"WinPrint"},
        {"printer.add.unknown-port", L"New", L"NOPE:", kDriver, L"NoProc"},
        {"printer.add.unknown-port-in-pool", L"New", L"LPT1:,NOPE:", kDriver, L"WinPrint"},
        {"printer.add.unknown-processor", kPrinter, L"LPT1:", kDriver, L"NoProc"},
        {"printer.add.empty-name", L"", L"LPT1:", kDriver, L"WinPrint"},
        {"printer.add.new", kPrinter, kMonitor, kDriver, L"WinPrint"},
        {"printer.add.existing", kPrinter, kMonitor, kDriver, L"WinPrint"},
        {"printer.add.second", kSecond, L"lpt1:", L"CONF DRIVER", L"winprint"},
    };
    for (const auto& [id, name, port, driver, processor] : adds) {
        PRINTER_INFO_2W info = printerInfo(name, port, driver);
        info.pPrintProcessor = arg(processor);
        HANDLE h = nullptr;
        // What a successful AddPrinterW leaves in the last error is undefined.
        CASE(id, text(name) + "," + text(port) + "," + text(processor),
             (h = AddPrinterW(nullptr, 2, bytes(&info)), SetLastError(h ? kPoison : GetLastError()),
              h),
             handle);
        ClosePrinter(h);
        if (name[0] == 'N') { // a refused printer that Wine adds all the same
            h = openPrinter(name, PRINTER_ALL_ACCESS);
            DeletePrinter(h);
            ClosePrinter(h);
        }
    }
    enumerate("printer.enum.added");
    const Row<const WCHAR*, ACCESS_MASK> opens[] = {
        // access 0: no defaults
        {"printer.open.other-case", L"CONF PRINTER", PRINTER_ALL_ACCESS},
        {"printer.open.no-defaults", kPrinter, 0},
        {"printer.open.unknown", L"Nobody", PRINTER_ACCESS_USE},
        {"printer.open.empty-name", L"", PRINTER_ACCESS_USE},
        {"printer.open.server", nullptr, 0},
    };
    for (const auto& [id, name, access] : opens) {
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
        HANDLE h = nullptr;
        CASE(id, text(name) + "," + hex(access),
             OpenPrinterW(arg(name), &h, access ? &defaults : nullptr), flag,
             result_ ? "handle=" + handle(h) : "");
        ClosePrinter(h);
    }
    CASE("printer.open.no-handle-pointer", "", OpenPrinterW(arg(kPrinter), nullptr, nullptr), flag);
}

void getAndSetCases() {
    HANDLE user = openPrinter(kPrinter, PRINTER_ACCESS_USE);
    probeAndFill<PRINTER_INFO_2W>("printer.get", "GetPrinterW",
                                  std::bind(GetPrinterW, user, 2, _1, _2, _3), printerFields, 1);
    for (const auto& [id, name] : {Row<const WCHAR*>{"printer.driver", kEnvironment},
                                   {"printer.driver.null-environment", nullptr},
                                   {"printer.driver.other-environment", L"Windows NT x86"}}) {
        probeAndFill<DRIVER_INFO_2W>(
            id, "GetPrinterDriverW", std::bind(GetPrinterDriverW, user, arg(name), 2, _1, _2, _3),
            [](const DRIVER_INFO_2W& d) {
                return spaced("v" + num(d.cVersion), text(d.pName), text(d.pEnvironment),
                              path(d.pDriverPath), path(d.pConfigFile));
            },
            1);
    }
    ClosePrinter(user);
    const Row<ACCESS_MASK, const WCHAR*, const WCHAR*, DWORD> sets[] = {
        {"printer.set.print-rights-only", PRINTER_ACCESS_USE, kMonitor, kDriver, 0},
        {"printer.set.unknown-port", PRINTER_ALL_ACCESS, L"NOPE:", kDriver, 0},
        {"printer.set.unknown-driver", PRINTER_ALL_ACCESS, kMonitor, L"No driver", 0},
        {"printer.set.command-with-level-2", PRINTER_ALL_ACCESS, kMonitor, kDriver,
         PRINTER_CONTROL_PURGE},
        {"printer.set.comment", PRINTER_ALL_ACCESS, kMonitor, kDriver, 0},
    };
    HANDLE h = nullptr; // the last row's handle, closed by the cases after the table
    for (const auto& [id, access, port, driver, command] : sets) {
        ClosePrinter(h);
        h = openPrinter(kPrinter, access);
        PRINTER_INFO_2W info = printerInfo(kPrinter, port, driver);
        info.pComment = arg(L"new comment");
        CASE(id, text(port) + "," + text(driver) + "," + num(command),
             SetPrinterW(h, 2, bytes(&info), command), flag);
    }
    CASE("printer.close.open", "", ClosePrinter(h), flag);
    CASE("printer.close.twice", "", ClosePrinter(h), flag);
}
void defaultCases() {
    for (const auto& [id, name] : {Row<const WCHAR*>{"default.set.unknown", L"Nobody"},
                                   {"default.set.other-case", L"conf printer"},
                                   {"default.set.exact", kPrinter}}) {
        CASE(id, text(name), SetDefaultPrinterW(name), flag);
    }
    getDefault("default.get.short", 6);
    getDefault("default.get.exact", 13);
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", 0,
                  KEY_READ, &key);
    queryValue("default.device-value", key, L"Device", 256);
    RegCloseKey(key);
}

BYTE kValue[] = "abc123";

void dataCases() {
    // A null key is SetPrinterDataA, else SetPrinterDataExA.
    auto SetPrinterDataAorExA = [](HANDLE h, const char* key, const char* value) {
        return key ? SetPrinterDataExA(h, key, value, REG_SZ, kValue, 7)
                   : SetPrinterDataA(h, const_cast<LPSTR>(value), REG_SZ, kValue, 7);
    };
    const Row<ACCESS_MASK, const char*, const char*> sets[] = {
        {"data.set.print-rights-only", PRINTER_ACCESS_USE, nullptr, "SubKey"},
        {"data.set-ex.print-rights-only", PRINTER_ACCESS_USE, "DsUser", "SubKey"},
        {"data.set.driver-data", PRINTER_ALL_ACCESS, nullptr, "SubKey"},
        {"data.set-ex.own-key", PRINTER_ALL_ACCESS, "DsUser", "Other"},
        {"data.set-ex.empty-key", PRINTER_ALL_ACCESS, "", "SubKey"},
    };
    for (const auto& [id, access, key, value] : sets) {
        HANDLE h = openPrinter(kPrinter, access);
        CASE(id, text(key) + "," + text(value), SetPrinterDataAorExA(h, key, value), num);
        ClosePrinter(h);
    }
    HANDLE h = openPrinter(kPrinter, PRINTER_ACCESS_USE);
    // A null key is GetPrinterDataA, else GetPrinterDataExA.
    auto GetPrinterDataAorExA = [h](const char* key, const char* value, DWORD* type, LPBYTE data,
                                    DWORD size, DWORD* needed) {
        return key ? GetPrinterDataExA(h, key, value, type, data, size, needed)
                   : GetPrinterDataA(h, const_cast<LPSTR>(value), type, data, size, needed);
    };
    const Row<const char*, const char*, DWORD> gets[] = {
        {"data.get.probe", nullptr, "SubKey", 0},
        {"data.get.short", nullptr, "SubKey", 6},
        {"data.get.exact", nullptr, "SubKey", 7},
        {"data.get.missing", nullptr, "Nothing", 64},
        {"data.get-ex.driver-data", "PrinterDriverData", "subkey", 64},
        {"data.get-ex.own-key", "DsUser", "Other", 64},
        {"data.get-ex.missing-in-key", "DsUser", "SubKey", 64},
        {"data.get-ex.missing-key", "NoKey", "SubKey", 64},
        {"data.get-ex.empty-key", "", "SubKey", 64},
    };
    for (const auto& [id, key, value, size] : gets) {
        BYTE data[64] = {0};
        DWORD type = kPoison;
        DWORD needed = kPoison;
        // The outputs are defined for a value found or a buffer too small.
        CASE(id, text(key) + "," + text(value) + "," + num(size),
             GetPrinterDataAorExA(key, value, &type, size ? data : nullptr, size, &needed), num,
             result_ && result_ != ERROR_MORE_DATA
                 ? ""
                 : "type=" + num(type) + " needed=" + num(needed) +
                       " data=" + text(reinterpret_cast<char*>(data)));
    }
    ClosePrinter(h);
}

// Every call with arguments that change nothing where the spooler answers them.
void stoppedCases() {
    BYTE b[4096];
    DWORD n = kPoison;
    HANDLE h = nullptr;
    MONITOR_INFO_2W local = {arg(L"Local Port"), arg(kEnvironment), arg(L"localspl.dll")};
    CASE("stopped.enum-printers", "",
         EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, b, 4096, &n, &n), flag);
    CASE("stopped.enum-monitors", "", EnumMonitorsW(nullptr, 2, b, 4096, &n, &n), flag);
    CASE("stopped.open-printer", "", OpenPrinterW(arg(kPrinter), &h, nullptr), flag);
    ClosePrinter(h);
    CASE("stopped.add-monitor", "", AddMonitorW(nullptr, 2, bytes(&local)), flag);
    CASE("stopped.delete-monitor", "", DeleteMonitorW(nullptr, nullptr, arg(L"Nobody:")), flag);
    CASE("stopped.driver-dir", "",
         GetPrinterDriverDirectoryW(nullptr, arg(kEnvironment), 1, b, 4096, &n), flag);
    CASE("stopped.set-default", "", SetDefaultPrinterW(L"Nobody"), flag);
    heldMonitorCases("monitor.stopped.write", nullptr);
}

void deleteMonitor(const char* id) {
    CASE(id, text(kMonitor), DeleteMonitorW(nullptr, nullptr, arg(kMonitor)), flag);
}

void deleteDriver(const char* id) {
    CASE(id, "DPD_DELETE_ALL_FILES",
         DeletePrinterDriverExW(nullptr, arg(kEnvironment), arg(kDriver), DPD_DELETE_ALL_FILES, 0),
         flag);
}

} // namespace

void printerCases() {
    enumerate("printer.enum.fresh");
    getDefault("default.get.none", 64);
    addCases();
    getAndSetCases();
    defaultCases();
    dataCases();
}

void stoppedSpoolerCases() {
    withSpoolerStopped(stoppedCases);
    heldMonitorCases("monitor.restarted.write", "monitor.restarted.delete");
}

void removalCases() {
    deleteMonitor("removal.monitor.in-use");
    HANDLE h = openPrinter(kPrinter, PRINTER_ALL_ACCESS);
    PRINTER_INFO_2W parked = printerInfo(kPrinter, L"file:", kDriver);
    CASE("removal.park", "file:", SetPrinterW(h, 2, bytes(&parked), 0), flag);
    ClosePrinter(h);
    deleteMonitor("removal.monitor.parked");
    deleteMonitor("removal.monitor.again");
    deleteDriver("removal.driver.in-use");
    for (const auto& [id, name, access] :
         {Row<const WCHAR*, ACCESS_MASK>{"removal.printer.without-delete-right", kSecond,
                                         PRINTER_ACCESS_ADMINISTER},
          {"removal.printer.second", kSecond, PRINTER_ALL_ACCESS},
          {"removal.printer.default", kPrinter, PRINTER_ALL_ACCESS}}) {
        h = openPrinter(name, access);
        CASE(id, text(name) + "," + hex(access), DeletePrinter(h), flag);
        ClosePrinter(h);
    }
    getDefault("removal.default-after", 64);
    deleteDriver("removal.driver.unused");
    CASE("removal.driver.file-gone", "3\\confui.dll",
         GetFileAttributesW(CONF_DRIVER_DIR L"\\3\\confui.dll"), hex);
    deleteDriver("removal.driver.again");
}

} // namespace conformance
