// The Win32 registry calls over the machine's registry model. They return their status
// and leave the thread's last error alone, as advapi32 does.
#include <cstring>

#include "machine.h"
#include "code_page.h"
#include "winsim/text.h"

using winsim::Hive;
using winsim::machine;
using winsim::RegHandle;
using winsim::Registry;
using winsim::RegKey;
using winsim::RegValue;

namespace {

const REGSAM kWow64Flags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

// Only the low 32 bits of a predefined key count on 64-bit Windows.
bool predefinedHive(HKEY key, Hive& hive) {
    uint32_t low = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key));
    if (low == static_cast<uint32_t>(reinterpret_cast<uintptr_t>(HKEY_LOCAL_MACHINE))) {
        hive = Hive::LocalMachine;
        return true;
    }
    if (low == static_cast<uint32_t>(reinterpret_cast<uintptr_t>(HKEY_CURRENT_USER))) {
        hive = Hive::CurrentUser;
        return true;
    }
    return false;
}

// A standard user reads HKEY_LOCAL_MACHINE but may not change it.
REGSAM allowedRights(Hive hive) {
    return hive == Hive::LocalMachine && !machine().settings.administrator ? KEY_READ
                                                                           : KEY_ALL_ACCESS;
}

REGSAM specificRights(REGSAM sam) {
    REGSAM rights = sam & ~kWow64Flags;
    if (rights & GENERIC_READ) {
        rights |= KEY_READ;
    }
    if (rights & GENERIC_WRITE) {
        rights |= KEY_WRITE;
    }
    if (rights & GENERIC_EXECUTE) {
        rights |= KEY_READ;
    }
    if (rights & GENERIC_ALL) {
        rights |= KEY_ALL_ACCESS;
    }
    return rights & KEY_ALL_ACCESS;
}

LSTATUS resolveHandle(HKEY key, RegHandle& out) {
    Hive hive = Hive::LocalMachine;
    if (predefinedHive(key, hive)) {
        out = RegHandle{hive, std::string(), allowedRights(hive)};
        return ERROR_SUCCESS;
    }
    const RegHandle* handle = machine().registry.handle(key);
    if (!handle) {
        return ERROR_INVALID_HANDLE;
    }
    out = *handle;
    return ERROR_SUCCESS;
}

// The key behind a handle, checked for the right the call needs.
LSTATUS keyForCall(HKEY key, REGSAM needed, RegKey*& out) {
    RegHandle handle;
    LSTATUS rc = resolveHandle(key, handle);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    out = machine().registry.find(handle.hive, handle.path);
    if (!out) {
        return ERROR_KEY_DELETED;
    }
    return (handle.access & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

std::string childPath(const std::string& base, const std::string& sub) {
    return base.empty() || sub.empty() ? base + sub : base + "\\" + sub;
}

// Resolves parent + sub-key name for an open or a create; on failure *result is null.
// On success target names the sub-key and still carries the parent handle's rights.
LSTATUS prepareOpen(HKEY parent, const std::string& sub, PHKEY result, RegHandle& target) {
    LSTATUS rc = resolveHandle(parent, target);
    if (rc == ERROR_SUCCESS && !sub.empty() && sub[0] == '\\') {
        rc = ERROR_BAD_PATHNAME;
    }
    if (rc == ERROR_SUCCESS && !machine().registry.find(target.hive, target.path)) {
        rc = ERROR_KEY_DELETED;
    }
    if (rc != ERROR_SUCCESS) {
        *result = nullptr;
        return rc;
    }
    target.path = childPath(target.path, sub);
    return ERROR_SUCCESS;
}

LSTATUS openKey(HKEY parent, const std::string& sub, REGSAM sam, PHKEY result) {
    if (!result) {
        return ERROR_INVALID_PARAMETER;
    }
    Hive hive = Hive::LocalMachine;
    if (sub.empty() && predefinedHive(parent, hive)) {
        *result = parent;
        return ERROR_SUCCESS;
    }
    RegHandle target;
    LSTATUS rc = prepareOpen(parent, sub, result, target);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    REGSAM wanted = specificRights(sam);
    if (!machine().registry.find(target.hive, target.path)) {
        rc = ERROR_FILE_NOT_FOUND;
    } else if (wanted & ~allowedRights(target.hive)) {
        rc = ERROR_ACCESS_DENIED;
    }
    if (rc != ERROR_SUCCESS) {
        *result = nullptr;
        return rc;
    }
    target.access = wanted;
    *result = machine().registry.addHandle(target);
    return ERROR_SUCCESS;
}

LSTATUS queryValue(HKEY key, const std::string& name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                   LPDWORD size, bool ansi) {
    if ((data && !size) || reserved) {
        return ERROR_INVALID_PARAMETER;
    }
    RegKey* regKey = nullptr;
    LSTATUS rc = keyForCall(key, KEY_QUERY_VALUE, regKey);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    const RegValue* value = Registry::value(*regKey, name);
    if (!value) {
        return ERROR_FILE_NOT_FOUND;
    }
    std::vector<uint8_t> bytes = value->data;
    bool text =
        value->type == REG_SZ || value->type == REG_EXPAND_SZ || value->type == REG_MULTI_SZ;
    if (ansi && text) {
        std::u16string chars(bytes.size() / 2, u'\0');
        std::memcpy(&chars[0], bytes.data(), chars.size() * 2);
        std::string narrow = winsim::utf16ToAnsi(chars);
        bytes.assign(narrow.begin(), narrow.end());
    }
    if (type) {
        *type = value->type;
    }
    DWORD needed = static_cast<DWORD>(bytes.size());
    if (data && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data) {
        std::memcpy(data, bytes.data(), needed);
    }
    if (size) {
        *size = needed;
    }
    return ERROR_SUCCESS;
}

LSTATUS setValue(HKEY key, const std::string& name, DWORD type, const BYTE* data, DWORD size) {
    RegKey* regKey = nullptr;
    LSTATUS rc = keyForCall(key, KEY_SET_VALUE, regKey);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    if (!data && size) {
        return ERROR_NOACCESS;
    }
    Registry::setValue(*regKey, name, type, data, size);
    return ERROR_SUCCESS;
}

LSTATUS deleteValue(HKEY key, const std::string& name) {
    RegKey* regKey = nullptr;
    LSTATUS rc = keyForCall(key, KEY_SET_VALUE, regKey);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    return Registry::removeValue(*regKey, name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

bool isString(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// A string counted without its terminator is stored with it when the character after the
// count is NUL: NT adds it for callers that forgot it (Wine's registry conformance tests,
// "off-by-one size", pass on Windows for both the W and the A call). Like Windows, this
// reads the character just past the caller's count.
template <typename Char> DWORD withForgottenTerminator(DWORD type, const BYTE* data, DWORD size) {
    const DWORD chars = size / sizeof(Char);
    if (!data || chars == 0 || !isString(type)) {
        return size;
    }
    const Char* text = reinterpret_cast<const Char*>(data);
    return text[chars - 1] != 0 && text[chars] == 0 ? size + sizeof(Char) : size;
}

std::string fromAnsi(LPCSTR text) {
    return text ? winsim::toUtf8(winsim::ansiToUtf16(text, std::strlen(text))) : std::string();
}

std::string fromWide(LPCWSTR text) {
    return winsim::toUtf8(text);
}

} // namespace

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired,
                             PHKEY phkResult) {
    return openKey(hKey, fromWide(lpSubKey), samDesired, phkResult);
}

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired,
                             PHKEY phkResult) {
    return openKey(hKey, fromAnsi(lpSubKey), samDesired, phkResult);
}

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired,
                               LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult) {
        return ERROR_INVALID_PARAMETER;
    }
    RegHandle target;
    LSTATUS rc = prepareOpen(hKey, fromWide(lpSubKey), phkResult, target);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    Registry& registry = machine().registry;
    bool exists = registry.find(target.hive, target.path) != nullptr;
    REGSAM wanted = specificRights(samDesired);
    bool mayCreate = exists || (target.access & KEY_CREATE_SUB_KEY);
    if ((wanted & ~allowedRights(target.hive)) || !mayCreate) {
        *phkResult = nullptr;
        return ERROR_ACCESS_DENIED;
    }
    registry.create(target.hive, target.path);
    target.access = wanted;
    *phkResult = registry.addHandle(target);
    if (lpdwDisposition) {
        *lpdwDisposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    }
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
    return queryValue(hKey, fromWide(lpValueName), lpReserved, lpType, lpData, lpcbData, false);
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
    return queryValue(hKey, fromAnsi(lpValueName), lpReserved, lpType, lpData, lpcbData, true);
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
    return setValue(hKey, fromWide(lpValueName), dwType, lpData,
                    withForgottenTerminator<WCHAR>(dwType, lpData, cbData));
}

// String data is widened from the ANSI code page: n bytes become n UTF-16 characters.
LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
    if (!isString(dwType) || !lpData) {
        return setValue(hKey, fromAnsi(lpValueName), dwType, lpData, cbData);
    }
    const DWORD size = withForgottenTerminator<char>(dwType, lpData, cbData);
    std::u16string chars = winsim::ansiToUtf16(reinterpret_cast<const char*>(lpData), size);
    return setValue(hKey, fromAnsi(lpValueName), dwType,
                    reinterpret_cast<const BYTE*>(chars.data()),
                    static_cast<DWORD>(chars.size() * 2));
}

LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    return deleteValue(hKey, fromWide(lpValueName));
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    return deleteValue(hKey, fromAnsi(lpValueName));
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    Hive hive = Hive::LocalMachine;
    if (predefinedHive(hKey, hive)) {
        return ERROR_SUCCESS;
    }
    return machine().registry.closeHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
