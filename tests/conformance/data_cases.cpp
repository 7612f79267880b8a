// Printer data through the ANSI calls, in PrinterDriverData and in a key of its own.
#include <cstring>
#include <string>

#include "battery.h"
#include "report.h"
#include "spooler_support.h"

namespace conformance {

namespace {

BYTE kValue[] = "abc123";

struct SetRow {
    const char* id;
    ACCESS_MASK access;
    const char* key; // null: SetPrinterDataA
    const char* value;
};

const SetRow kSets[] = {
    {"data.set.print-rights-only", PRINTER_ACCESS_USE, nullptr, "SubKey"},
    {"data.set-ex.print-rights-only", PRINTER_ACCESS_USE, "DsUser", "SubKey"},
    {"data.set.driver-data", PRINTER_ALL_ACCESS, nullptr, "SubKey"},
    {"data.set-ex.own-key", PRINTER_ALL_ACCESS, "DsUser", "Other"},
    {"data.set-ex.empty-key", PRINTER_ALL_ACCESS, "", "SubKey"},
};

struct GetRow {
    const char* id;
    const char* key; // null: GetPrinterDataA
    const char* value;
    DWORD size;
};

const GetRow kGets[] = {
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

} // namespace

void printerDataCases() {
    for (const SetRow& row : kSets) {
        HANDLE h = openPrinter(kPrinter, row.access);
        LPSTR value = const_cast<LPSTR>(row.value);
        poison();
        DWORD status = row.key ? SetPrinterDataExA(h, row.key, value, REG_SZ, kValue, 7)
                               : SetPrinterDataA(h, value, REG_SZ, kValue, 7);
        line(row.id, "SetPrinterData(" + text(row.key) + "," + text(row.value) + ")", num(status),
             GetLastError());
        ClosePrinter(h);
    }
    HANDLE h = openPrinter(kPrinter, PRINTER_ACCESS_USE);
    for (const GetRow& row : kGets) {
        BYTE data[64];
        std::memset(data, 0, sizeof data);
        DWORD type = kPoison;
        DWORD needed = kPoison;
        LPSTR value = const_cast<LPSTR>(row.value);
        poison();
        DWORD status = row.key ? GetPrinterDataExA(h, row.key, value, &type,
                                                   row.size ? data : nullptr, row.size, &needed)
                               : GetPrinterDataA(h, value, &type, row.size ? data : nullptr,
                                                 row.size, &needed);
        // The outputs are defined for a value found or a buffer too small.
        bool defined = status == ERROR_SUCCESS || status == ERROR_MORE_DATA;
        line(row.id,
             "GetPrinterData(" + text(row.key) + "," + text(row.value) + "," + num(row.size) + ")",
             num(status), GetLastError(),
             defined ? "type=" + num(type) + " needed=" + num(needed) +
                           " data=" + text(reinterpret_cast<char*>(data))
                     : "");
    }
    ClosePrinter(h);
}

} // namespace conformance
