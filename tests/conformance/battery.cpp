#include "battery.h"

#include <windows.h>

#include <cstdio>

#include "report.h"

namespace conformance {

int runBattery() {
    fileCases();
    registryCases();
    kernelCases();
    serviceCases();
    monitorCases();
    driverCases();
    printerCases();
    stoppedSpoolerCases();
    removalCases();
    mutexCases();
    otherProgramCases();
    userCases();
    std::printf("end of battery\n");
    return 0;
}

bool copyFile(const wchar_t* from, const wchar_t* to) {
    HANDLE in =
        CreateFileW(from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
        return false;
    }
    HANDLE out = CreateFileW(to, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    bool ok = out != INVALID_HANDLE_VALUE;
    BYTE buffer[8192];
    DWORD read = 0;
    while (ok && ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        DWORD written = 0;
        ok = WriteFile(out, buffer, read, &written, nullptr) && written == read;
    }
    if (out != INVALID_HANDLE_VALUE) {
        CloseHandle(out);
    }
    CloseHandle(in);
    return ok;
}

} // namespace conformance
