#include "spooler_support.h"

#include "report.h"

namespace conformance {

const WCHAR kMonitor[] = L"CONF:";
const WCHAR kDriver[] = L"Conf driver";
const WCHAR kPrinter[] = L"Conf printer";
const WCHAR kSecond[] = L"Conf second";
const WCHAR kEnvironment[] = L"Windows x64";
const WCHAR kDriverDir[] = L"C:\\Windows\\system32\\spool\\drivers\\x64";

namespace {

// Sizes differ between implementations (a driver-made DEVMODE, string lengths); what the
// protocol promises is that every answer names the probe's size.
std::string size(DWORD needed, DWORD probe) {
    if (needed == kPoison || probe == 0) {
        return num(needed);
    }
    return needed == probe ? "probe" : "other";
}

void ask(const std::string& id, const std::string& call, const Query& query,
         std::vector<BYTE>& buffer, DWORD* needed, DWORD probe, const Describe& describe) {
    DWORD count = kPoison;
    *needed = kPoison;
    poison();
    BOOL ok = query(buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()),
                    needed, &count);
    DWORD error = GetLastError();
    std::string outputs = "needed=" +
                          (probe || *needed == kPoison ? size(*needed, probe)
                           : *needed                   ? ">0"
                                                       : "0") +
                          " returned=" + num(count);
    if (ok && !buffer.empty()) {
        outputs += " " + describe(buffer.data(), count);
    }
    std::string shown = buffer.empty() ? "0" : buffer.size() < probe ? "probe-1" : "probe";
    line(id.c_str(), call + "[" + shown + "]", flag(ok), error, outputs);
}

} // namespace

void probeAndFill(const std::string& id, const std::string& call, const Query& query,
                  const Describe& describe) {
    std::vector<BYTE> buffer;
    DWORD needed = 0;
    ask(id + ".probe", call, query, buffer, &needed, 0, describe);
    if (needed == 0 || needed == kPoison) {
        return;
    }
    const DWORD probe = needed;
    buffer.assign(probe - 1, 0xAB);
    ask(id + ".short", call, query, buffer, &needed, probe, describe);
    buffer.assign(probe, 0xAB);
    ask(id + ".exact", call, query, buffer, &needed, probe, describe);
}

std::string path(const WCHAR* s) {
    std::string shown = text(s);
    for (char& c : shown) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return shown;
}

HANDLE openPrinter(const WCHAR* name, ACCESS_MASK access) {
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
    HANDLE h = nullptr;
    return OpenPrinterW(arg(name), &h, &defaults) ? h : nullptr;
}

void dropPrinter(const WCHAR* name) {
    HANDLE h = openPrinter(name, PRINTER_ALL_ACCESS);
    if (h) {
        DeletePrinter(h);
        ClosePrinter(h);
    }
}

} // namespace conformance
