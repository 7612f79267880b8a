#include "run_test_support.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

namespace run_test {

using namespace winsim::control;

void productMachine(const std::string& dir) {
    demoMachine(dir);
}

int run(const std::vector<std::string>& words) {
    setCommandWords(words);
    return wWinMain(static_cast<HINSTANCE>(programInstance()), nullptr, nullptr, 1);
}

std::string registeredCompanion() {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                  KEY_READ, &key);
    WCHAR path[300] = {};
    DWORD bytes = sizeof(path) - 2;
    DWORD type = 0;
    LSTATUS status = RegQueryValueExW(key, L"FolioscopeTray", nullptr, &type,
                                      reinterpret_cast<BYTE*>(path), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return "-";
    }
    return type == REG_SZ ? u8(path) : u8(path) + " (not REG_SZ)";
}

const std::vector<ShownDialog>& dialogs() {
    return shownDialogs();
}

} // namespace run_test
