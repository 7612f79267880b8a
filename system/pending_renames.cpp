#include "system/pending_renames.h"

#include <cstring>

#include "log/text_utils.h"
#include "system/multi_string.h"
#include "system/spooler_service.h"

namespace {

const WCHAR kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const WCHAR kPendingValue[] = L"PendingFileRenameOperations";
// The DLLs the spooler loads; the help file never keeps a reboot pending.
const WCHAR* const kProductDlls[] = {L"orvmon64.dll", L"orvdrv64.dll", L"orvui64.dll"};
const int kAttempts = 2;

// The session manager writes NT paths ("\??\C:\..."); the Win32 file calls want them without
// the prefix. Only the exact four characters are a prefix.
const WCHAR* withoutNtPrefix(const WCHAR* path) {
    if (path[0] == L'\\' && path[1] == L'?' && path[2] == L'?' && path[3] == L'\\') {
        return path + 4;
    }
    return path;
}

bool isExistingFile(const WCHAR* path) {
    DWORD attributes = GetFileAttributesW(withoutNtPrefix(path));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A terminated copy, also of a last string that had no terminator in the value.
WCHAR* copyPart(const BYTE* data, const MultiStringPart& part) {
    WCHAR* copy =
        static_cast<WCHAR*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, (part.length + 1) * 2));
    if (copy != nullptr) {
        std::memcpy(copy, data + part.start * sizeof(WCHAR), part.length * sizeof(WCHAR));
    }
    return copy;
}

// The raw value in a zero-filled block of exactly its size, or null when it is missing or
// empty. A value that grew between the two queries is read as missing: its old size no
// longer describes it.
BYTE* readPendingValue(DWORD& size) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    BYTE* data = nullptr;
    size = 0;
    if (RegQueryValueExW(key, kPendingValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS &&
        size > 0) {
        data = static_cast<BYTE*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size));
        DWORD allocated = size;
        if (data != nullptr &&
            (RegQueryValueExW(key, kPendingValue, nullptr, nullptr, data, &size) != ERROR_SUCCESS ||
             size > allocated)) {
            GlobalFree(data);
            data = nullptr;
        }
    }
    RegCloseKey(key);
    return data;
}

bool allocateList(PendingRenameList& list, size_t pairs) {
    list.names =
        static_cast<WCHAR**>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 2 * pairs * sizeof(WCHAR*)));
    list.exists =
        static_cast<LONG*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 2 * pairs * sizeof(LONG)));
    list.count = static_cast<LONG>(pairs);
    if (list.names == nullptr || list.exists == nullptr) {
        releasePendingRenames(list);
        return false;
    }
    return true;
}

// An odd last string has no partner and is left out.
void fillList(PendingRenameList& list, const BYTE* data, DWORD size) {
    size_t pairs = scanMultiString(data, size, nullptr, 0) / 2;
    if (pairs == 0) {
        return;
    }
    MultiStringPart* parts = static_cast<MultiStringPart*>(
        GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 2 * pairs * sizeof(MultiStringPart)));
    if (parts == nullptr || !allocateList(list, pairs)) {
        GlobalFree(parts);
        return;
    }
    scanMultiString(data, size, parts, 2 * pairs);
    for (size_t i = 0; i < 2 * pairs; ++i) {
        if (parts[i].length > 0) {
            list.names[i] = copyPart(data, parts[i]);
            list.exists[i] = list.names[i] != nullptr && isExistingFile(list.names[i]) ? 1 : 0;
        }
    }
    GlobalFree(parts);
}

// The name after the last "\", "/" or ":" of the path, prefix skipped.
const WCHAR* fileNamePart(const WCHAR* path) {
    const WCHAR* name = withoutNtPrefix(path);
    for (const WCHAR* c = name; *c != L'\0'; ++c) {
        if (*c == L'\\' || *c == L'/' || *c == L':') {
            name = c + 1;
        }
    }
    return name;
}

bool isProductDll(const WCHAR* path) {
    const WCHAR* name = fileNamePart(path);
    for (const WCHAR* dll : kProductDlls) {
        if (compareIgnoringCase(name, dll) == 0) {
            return true;
        }
    }
    return false;
}

// Targets do not count: a product DLL that is only the target of a rename is replaced at
// boot, which needs no restart of ours to finish.
bool productDllStillQueued() {
    PendingRenameList list = readPendingRenames();
    deletePendingDeletions(list);
    bool queued = false;
    for (LONG k = 0; k < list.count && !queued; ++k) {
        queued = list.exists[2 * k] == 1 && isProductDll(list.names[2 * k]);
    }
    releasePendingRenames(list);
    return queued;
}

} // namespace

PendingRenameList readPendingRenames() {
    PendingRenameList list = {nullptr, nullptr, 0};
    DWORD size = 0;
    BYTE* data = readPendingValue(size);
    if (data != nullptr) {
        fillList(list, data, size);
        GlobalFree(data);
    }
    return list;
}

void deletePendingDeletions(PendingRenameList& list) {
    for (LONG k = 0; k < list.count; ++k) {
        const WCHAR* source = list.names[2 * k];
        bool queuedDeletion = list.names[2 * k + 1] == nullptr;
        if (list.exists[2 * k] == 1 && source != nullptr && queuedDeletion &&
            DeleteFileW(withoutNtPrefix(source))) {
            list.exists[2 * k] = 0;
        }
    }
}

void releasePendingRenames(PendingRenameList& list) {
    if (list.names != nullptr) {
        for (LONG i = 0; i < 2 * list.count; ++i) {
            GlobalFree(list.names[i]);
        }
        GlobalFree(list.names);
    }
    GlobalFree(list.exists);
    list = PendingRenameList{nullptr, nullptr, 0};
}

// Each attempt that still finds a product DLL restarts the spooler, which lets go of the
// DLLs it held, so the next attempt can delete them.
bool productFilesPendingRename() {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (!productDllStillQueued()) {
            return false;
        }
        SpoolerRestart restart(nullptr);
    }
    return true;
}
