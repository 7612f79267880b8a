#include "battery.h"

#include <cstdio>
#include <cstring>

namespace conformance {

int runBattery() {
    for (void (*family)() : {fileCases, registryCases, kernelCases, serviceCases, monitorCases,
                             driverCases, printerCases, stoppedSpoolerCases, removalCases,
                             mutexCases, otherProgramCases, userCases}) {
        family();
    }
    std::printf("end of battery\n");
    return 0;
}

void queryValue(const char* id, HKEY key, const WCHAR* name, DWORD size) {
    BYTE data[512];
    std::memset(data, 0xAB, sizeof data);
    DWORD type = kPoison;
    DWORD cb = size;
    CASE(id, text(name) + "," + num(size),
         RegQueryValueExW(key, name, nullptr, &type, size ? data : nullptr, &cb), num,
         "type=" + num(type) + " size=" + num(cb) + " data=" +
             (result_ || !size ? "-" : wideBytes(data, cb)) + " next=" + hex(data[cb % 512]));
}

void closeIfOpen(HANDLE h) {
    if (h != INVALID_HANDLE_VALUE && h) {
        CloseHandle(h);
    }
}

void copyFile(const wchar_t* from, const wchar_t* to) {
    HANDLE in =
        CreateFileW(from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE out = in == INVALID_HANDLE_VALUE
                     ? in
                     : CreateFileW(to, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    BYTE buffer[8192];
    DWORD read = 0, written = 0;
    while (out != INVALID_HANDLE_VALUE && ReadFile(in, buffer, sizeof buffer, &read, nullptr) &&
           read > 0 && WriteFile(out, buffer, read, &written, nullptr) && written == read) {
    }
    closeIfOpen(out);
    closeIfOpen(in);
}

} // namespace conformance
