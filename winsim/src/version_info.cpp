// GetFileVersionInfoSizeW, GetFileVersionInfoW and VerQueryValueW over the simulated
// machine's files. The resource is read out of the file's PE image the way the loader maps
// a file as data; nothing about a file's version is stored anywhere else.
#include <algorithm>
#include <cstring>

#include <windows.h>

#include "pe_resources.h"
#include "version_block.h"

namespace {

using namespace winsim;

constexpr DWORD kInvalidData = 13;     // ERROR_INVALID_DATA
constexpr DWORD kBadPathname = 161;    // ERROR_BAD_PATHNAME
constexpr uint16_t kVersionInfoId = 1; // VS_VERSION_INFO
// What Windows (XP and later) writes after the copied block, ahead of the room it keeps
// for the ANSI conversion of the strings: hence 2 * size + 4 as the needed size.
constexpr char kSignature[4] = {'F', 'E', '2', 'X'};

struct VersionResource {
    DWORD error = ERROR_SUCCESS;
    std::vector<uint8_t> file;
    pe::ByteView data;
};

DWORD errorFor(pe::ResourceStatus status) {
    switch (status) {
    case pe::ResourceStatus::found:
        return ERROR_SUCCESS;
    // Windows fails the type lookup with 1813; Wine answers 1812 for this case as well.
    case pe::ResourceStatus::typeNotFound:
        return ERROR_RESOURCE_TYPE_NOT_FOUND;
    case pe::ResourceStatus::nameNotFound:
        return ERROR_RESOURCE_NAME_NOT_FOUND;
    case pe::ResourceStatus::languageNotFound:
        return ERROR_RESOURCE_LANG_NOT_FOUND;
    case pe::ResourceStatus::noResources:
    case pe::ResourceStatus::corrupt:
        break;
    }
    return ERROR_RESOURCE_DATA_NOT_FOUND;
}

// The file's bytes, read as the loader reads a file it maps as data: a file that another
// program holds without FILE_SHARE_READ, or a medium that fails, fails the call the same way.
DWORD readWholeFile(LPCWSTR path, std::vector<uint8_t>* bytes) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return GetLastError();
    }
    DWORD error = ERROR_SUCCESS;
    std::vector<uint8_t> chunk(65536);
    for (DWORD got = 1; got != 0;) {
        if (!ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) {
            error = GetLastError();
            break;
        }
        bytes->insert(bytes->end(), chunk.begin(), chunk.begin() + got);
    }
    CloseHandle(file);
    return error;
}

VersionResource loadVersionResource(LPCWSTR path) {
    VersionResource resource;
    if (!path) {
        resource.error = ERROR_INVALID_PARAMETER;
        return resource;
    }
    if (path[0] == 0) {
        resource.error = kBadPathname; // what Wine answers; CreateFileW would say 3
        return resource;
    }
    resource.error = readWholeFile(path, &resource.file);
    if (resource.error != ERROR_SUCCESS) {
        return resource;
    }
    pe::ByteView bytes(resource.file);
    pe::Image image;
    if (!pe::parseImage(bytes, &image)) {
        resource.error = ERROR_RESOURCE_DATA_NOT_FOUND; // not an image: no resources at all
        return resource;
    }
    pe::Resource found = pe::findResource(bytes, image, pe::kTypeVersion, kVersionInfoId);
    resource.error = errorFor(found.status);
    resource.data = found.data;
    return resource;
}

} // namespace

DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle) {
    if (lpdwHandle) {
        *lpdwHandle = 0;
    }
    VersionResource resource = loadVersionResource(lptstrFilename);
    SetLastError(resource.error);
    if (resource.error != ERROR_SUCCESS) {
        return 0;
    }
    return static_cast<DWORD>(resource.data.size * 2 + sizeof(kSignature));
}

BOOL WINAPI GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData) {
    if (!lpData) {
        SetLastError(kInvalidData);
        return FALSE;
    }
    VersionResource resource = loadVersionResource(lptstrFilename);
    SetLastError(resource.error);
    if (resource.error != ERROR_SUCCESS) {
        return FALSE;
    }
    // A buffer smaller than the resource gets the first dwLen bytes, and the call succeeds.
    std::memcpy(lpData, resource.data.data, std::min<size_t>(dwLen, resource.data.size));
    uint16_t blockLength = 0;
    if (resource.data.u16(0, &blockLength) && dwLen >= blockLength + sizeof(kSignature)) {
        std::memcpy(static_cast<uint8_t*>(lpData) + blockLength, kSignature, sizeof(kSignature));
    }
    return TRUE;
}

BOOL WINAPI VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID* lplpBuffer, PUINT puLen) {
    if (!pBlock) {
        return FALSE; // no last error, as on Windows
    }
    // The block carries no size of its own beyond the root's wLength, which Windows trusts.
    const uint8_t* bytes = static_cast<const uint8_t*>(pBlock);
    pe::ByteView block(bytes, static_cast<size_t>(bytes[0] | bytes[1] << 8));
    std::u16string path = lpSubBlock ? reinterpret_cast<const char16_t*>(lpSubBlock) : u"";
    VersionValue value;
    if (!findVersionValue(block, path, &value)) {
        if (puLen) {
            *puLen = 0;
        }
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    *lplpBuffer = const_cast<uint8_t*>(bytes) + value.offset;
    if (puLen) {
        *puLen = value.length;
    }
    return TRUE;
}
