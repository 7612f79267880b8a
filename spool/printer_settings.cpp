#include "spool/printer_settings.h"

#include <cstring>

#include <windows.h>
#include <winspool.h>

namespace {

const char kUserDataKey[] = "DsUser";
const char kProductKey[] = "Software\\Orvanta Software KFT\\Folioscope";
const char kDeletedMark[] = "deleted";
// Room for the product key, the separator and the terminator beside the sub-path.
const size_t kProductKeyRoom = 46;

// Appends text behind the first `used` characters, cutting it to the capacity; returns
// the new length. The buffer stays terminated.
size_t appendAnsi(char* buffer, size_t capacity, size_t used, const char* text) {
    while (*text != '\0' && used + 1 < capacity) {
        buffer[used++] = *text++;
    }
    buffer[used] = '\0';
    return used;
}

// A REG_SZ value may be stored without its terminator.
void terminate(char* buffer, DWORD received) {
    buffer[received < kSubKeyReadBytes ? received : kSubKeyReadBytes] = '\0';
}

} // namespace

int storeSettingsKey(HANDLE printer, const char* subKey) {
    const char* text = subKey != nullptr ? subKey : "";
    DWORD bytes = static_cast<DWORD>(std::strlen(text) + 1);
    LPBYTE data = reinterpret_cast<LPBYTE>(const_cast<char*>(text));
    char valueName[] = "SubKey";
    SetPrinterDataA(printer, valueName, REG_SZ, data, bytes);
    if (SetPrinterDataExA(printer, kUserDataKey, valueName, REG_SZ, data, bytes) != ERROR_SUCCESS) {
        return 0;
    }
    return 2;
}

DWORD readSettingsKey(HANDLE printer, char* buffer) {
    char valueName[] = "SubKey";
    LPBYTE data = reinterpret_cast<LPBYTE>(buffer);
    DWORD type = 0;
    DWORD received = 0;
    DWORD result = GetPrinterDataA(printer, valueName, &type, data, kSubKeyReadBytes, &received);
    if (result == ERROR_SUCCESS && type == REG_SZ) {
        terminate(buffer, received);
        return result;
    }
    type = 0;
    result = GetPrinterDataExA(printer, kUserDataKey, valueName, &type, data, kSubKeyReadBytes,
                               &received);
    if (result == ERROR_SUCCESS && type == REG_SZ) {
        terminate(buffer, received);
    } else {
        buffer[0] = '\0';
    }
    return result;
}

bool clearDeletedMark(const char* subPath) {
    size_t capacity = std::strlen(subPath) + kProductKeyRoom;
    char* keyPath = static_cast<char*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, capacity));
    if (keyPath == nullptr) {
        return false;
    }
    size_t used = appendAnsi(keyPath, capacity, 0, kProductKey);
    used = appendAnsi(keyPath, capacity, used, "\\");
    appendAnsi(keyPath, capacity, used, subPath);
    HKEY key = nullptr;
    LSTATUS opened = RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_ALL_ACCESS, &key);
    GlobalFree(keyPath);
    if (opened != ERROR_SUCCESS) {
        return false;
    }
    LSTATUS deleted = RegDeleteValueA(key, kDeletedMark);
    RegCloseKey(key);
    return deleted == ERROR_SUCCESS;
}
