// Printers: AddPrinterW's checks in the spooler's order, the lists, OpenPrinterW's names
// and rights, GetPrinterW/GetPrinterDriverW, SetPrinterW, and the user's default printer.
#include <string>

#include "battery.h"
#include "report.h"
#include "spooler_support.h"

namespace conformance {

namespace {

// A PRINTER_INFO_2W as the installer fills it.
PRINTER_INFO_2W printerInfo(const WCHAR* name, const WCHAR* port, const WCHAR* driver) {
    PRINTER_INFO_2W info = {};
    info.pPrinterName = arg(name);
    info.pPortName = arg(port);
    info.pDriverName = arg(driver);
    info.pPrintProcessor = arg(L"WinPrint");
    info.pDatatype = arg(L"RAW");
    info.pComment = arg(L"");
    info.pLocation = arg(L"");
    return info;
}

struct AddRow {
    const char* id;
    const WCHAR* name;
    const WCHAR* port;
    const WCHAR* driver;
    const WCHAR* processor;
};

// Each refusal breaks the checks from the one it names on: the first broken one decides.
const AddRow kAdds[] = {
    {"printer.add.unknown-driver", L"New", L"NOPE:", L"No driver", L"WinPrint"},
    {"printer.add.unknown-port", L"New", L"NOPE:", kDriver, L"NoProc"},
    {"printer.add.unknown-port-in-pool", L"New", L"LPT1:,NOPE:", kDriver, L"WinPrint"},
    {"printer.add.unknown-processor", kPrinter, L"LPT1:", kDriver, L"NoProc"},
    {"printer.add.empty-name", L"", L"LPT1:", kDriver, L"WinPrint"},
    {"printer.add.new", kPrinter, kMonitor, kDriver, L"WinPrint"},
    {"printer.add.existing", kPrinter, kMonitor, kDriver, L"WinPrint"},
    {"printer.add.second", kSecond, L"lpt1:", L"CONF DRIVER", L"winprint"},
};

void addCases() {
    for (const AddRow& row : kAdds) {
        PRINTER_INFO_2W info = printerInfo(row.name, row.port, row.driver);
        info.pPrintProcessor = arg(row.processor);
        poison();
        HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
        DWORD error = GetLastError();
        // What a successful AddPrinterW leaves in the last error is undefined.
        line(row.id,
             "AddPrinterW(" + text(row.name) + "," + text(row.port) + "," + text(row.driver) + "," +
                 text(row.processor) + ")",
             handle(h), h ? kPoison : error);
        if (h) {
            ClosePrinter(h);
        }
        if (row.name[0] == 'N') {
            dropPrinter(row.name);
        }
    }
}

std::string printers(const BYTE* buffer, DWORD count) {
    std::string out;
    const PRINTER_INFO_2W* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer);
    for (DWORD i = 0; i < count; ++i) {
        out += "[" + text(info[i].pPrinterName) + " " + text(info[i].pPortName) + " " +
               text(info[i].pDriverName) + " " + text(info[i].pComment) + " " +
               text(info[i].pLocation) + " " + text(info[i].pPrintProcessor) + " " +
               text(info[i].pDatatype) + " attributes=" + hex(info[i].Attributes) +
               " status=" + hex(info[i].Status) + " jobs=" + num(info[i].cJobs) + "]";
    }
    return out;
}

void enumerate(const std::string& id) {
    probeAndFill(
        id, "EnumPrintersW(6,2)",
        [](LPBYTE b, DWORD n, DWORD* need, DWORD* count) {
            return EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, b, n,
                                 need, count);
        },
        printers);
}

struct OpenRow {
    const char* id;
    const WCHAR* name;
    bool defaults;
    ACCESS_MASK access;
};

const OpenRow kOpens[] = {
    {"printer.open.other-case", L"CONF PRINTER", true, PRINTER_ALL_ACCESS},
    {"printer.open.no-defaults", kPrinter, false, 0},
    {"printer.open.unknown", L"Nobody", true, PRINTER_ACCESS_USE},
    {"printer.open.empty-name", L"", true, PRINTER_ACCESS_USE},
    {"printer.open.server", nullptr, false, 0},
};

void openCases() {
    for (const OpenRow& row : kOpens) {
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, row.access};
        HANDLE h = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(kPoison));
        poison();
        BOOL ok = OpenPrinterW(arg(row.name), &h, row.defaults ? &defaults : nullptr);
        DWORD error = GetLastError();
        line(row.id, "OpenPrinterW(" + text(row.name) + "," + hex(row.access) + ")", flag(ok),
             error, ok ? "handle=" + handle(h) : "");
        if (ok) {
            ClosePrinter(h);
        }
    }
    poison();
    BOOL ok = OpenPrinterW(arg(kPrinter), nullptr, nullptr);
    line("printer.open.no-handle-pointer", "OpenPrinterW(NULL)", flag(ok), GetLastError());
}

std::string driver(const BYTE* buffer, DWORD) {
    const DRIVER_INFO_2W* info = reinterpret_cast<const DRIVER_INFO_2W*>(buffer);
    return "[v" + num(info->cVersion) + " " + text(info->pName) + " " + text(info->pEnvironment) +
           " " + path(info->pDriverPath) + " " + path(info->pConfigFile) + "]";
}

void getCases(HANDLE printer) {
    probeAndFill(
        "printer.get", "GetPrinterW(2)",
        [printer](LPBYTE b, DWORD n, DWORD* need, DWORD* count) {
            *count = 1;
            return GetPrinterW(printer, 2, b, n, need);
        },
        printers);
    struct {
        const char* id;
        const WCHAR* environment;
    } rows[] = {{"printer.driver", kEnvironment},
                {"printer.driver.null-environment", nullptr},
                {"printer.driver.other-environment", L"Windows NT x86"}};
    for (const auto& row : rows) {
        probeAndFill(
            row.id, "GetPrinterDriverW(" + text(row.environment) + ",2)",
            [printer, &row](LPBYTE b, DWORD n, DWORD* need, DWORD* count) {
                *count = 1;
                return GetPrinterDriverW(printer, arg(row.environment), 2, b, n, need);
            },
            driver);
    }
}

struct SetRow {
    const char* id;
    ACCESS_MASK access;
    const WCHAR* port;
    const WCHAR* driver;
    const WCHAR* comment;
    DWORD command;
};

const SetRow kSets[] = {
    {"printer.set.print-rights-only", PRINTER_ACCESS_USE, kMonitor, kDriver, L"x", 0},
    {"printer.set.unknown-port", PRINTER_ALL_ACCESS, L"NOPE:", kDriver, L"x", 0},
    {"printer.set.unknown-driver", PRINTER_ALL_ACCESS, kMonitor, L"No driver", L"x", 0},
    {"printer.set.command-with-level-2", PRINTER_ALL_ACCESS, kMonitor, kDriver, L"x",
     PRINTER_CONTROL_PURGE},
    {"printer.set.comment", PRINTER_ALL_ACCESS, kMonitor, kDriver, L"new comment", 0},
};

void setCases() {
    for (const SetRow& row : kSets) {
        HANDLE h = openPrinter(kPrinter, row.access);
        PRINTER_INFO_2W info = printerInfo(kPrinter, row.port, row.driver);
        info.pComment = arg(row.comment);
        poison();
        BOOL ok = SetPrinterW(h, 2, reinterpret_cast<LPBYTE>(&info), row.command);
        DWORD error = GetLastError();
        line(row.id,
             "SetPrinterW(" + text(row.port) + "," + text(row.driver) + "," + num(row.command) +
                 ")",
             flag(ok), error);
        ClosePrinter(h);
    }
    HANDLE h = openPrinter(kPrinter, PRINTER_ALL_ACCESS);
    PRINTER_INFO_2W info = printerInfo(kPrinter, kMonitor, kDriver);
    info.pComment = arg(L"new comment");
    SetPrinterW(h, 2, reinterpret_cast<LPBYTE>(&info), 0);
    ClosePrinter(h);
}

void getDefault(const char* id, DWORD chars) {
    WCHAR name[64];
    name[0] = 0;
    DWORD size = chars;
    poison();
    BOOL ok = GetDefaultPrinterW(name, &size);
    DWORD error = GetLastError();
    line(id, "GetDefaultPrinterW(" + num(chars) + ")", flag(ok), error,
         "chars=" + num(size) + " name=" + (ok ? text(name) : "-"));
}

void setDefault(const char* id, const WCHAR* name) {
    poison();
    BOOL ok = SetDefaultPrinterW(name);
    DWORD error = GetLastError();
    line(id, "SetDefaultPrinterW(" + text(name) + ")", flag(ok), error);
}

void defaultCases() {
    setDefault("default.set.unknown", L"Nobody");
    setDefault("default.set.other-case", L"conf printer");
    setDefault("default.set.exact", kPrinter);
    getDefault("default.get.short", 6);
    getDefault("default.get.exact", 13);
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", 0,
                  KEY_READ, &key);
    BYTE data[256];
    DWORD size = sizeof data;
    LSTATUS status = RegQueryValueExW(key, L"Device", nullptr, nullptr, data, &size);
    line("default.device-value", "RegQueryValueExW(Device)", num(status), kPoison,
         "data=" + (status ? std::string("-") : wideBytes(data, size)));
    RegCloseKey(key);
}

} // namespace

void printerCases() {
    enumerate("printer.enum.fresh");
    getDefault("default.get.none", 64);
    addCases();
    enumerate("printer.enum.added");
    openCases();
    HANDLE printer = openPrinter(kPrinter, PRINTER_ACCESS_USE);
    getCases(printer);
    ClosePrinter(printer);
    setCases();
    defaultCases();
}

} // namespace conformance
