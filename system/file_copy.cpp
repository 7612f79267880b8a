#include "system/file_copy.h"

#include "record/install_context.h"
#include "log/install_log.h"
#include "log/text_utils.h"
#include "log/wide_text.h"
#include "system/deferred_files.h"

namespace {

const int kOpenAttempts = 100;
const DWORD kOpenPauseMs = 50;
const DWORD kOpenTimeoutMs = 10000;
const DWORD kCopyBlockBytes = 8192;

// directory, one "\" unless it already ends in one (an empty directory gets none), name.
bool buildPath(WideText& path, const WCHAR* directory, const WCHAR* name) {
    if (!assign(path, directory)) {
        return false;
    }
    size_t length = lengthOf(path);
    if (length > 0 && textOf(path)[length - 1] != L'\\' && !append(path, L"\\")) {
        return false;
    }
    return append(path, name);
}

// The caller gets the whole path or an empty string, never a cut one that names some
// other file.
bool handOutTargetPath(const WCHAR* targetPath, WCHAR* out, size_t capacity) {
    if (out == nullptr) {
        return true;
    }
    if (copyText(out, capacity, targetPath)) {
        return true;
    }
    if (capacity > 0) {
        out[0] = L'\0';
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
}

// A failed read or a short write leaves a truncated target: reported whatever the caller
// asked for, since a half-written DLL must not pass for a copied one.
bool copyContents(InstallContext& context, HANDLE source, HANDLE target, const WCHAR* targetPath) {
    BYTE block[kCopyBlockBytes];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(source, block, kCopyBlockBytes, &read, nullptr)) {
            logError(context, 8, L"CopyFile(..,%s)", targetPath);
            return false;
        }
        DWORD written = 0;
        if (read > 0 && (!WriteFile(target, block, read, &written, nullptr) || written < read)) {
            logError(context, 8, L"CopyFile(..,%s)", targetPath);
            return false;
        }
        if (read < kCopyBlockBytes) {
            return true;
        }
    }
}

// CREATE_ALWAYS has already replaced whatever stood there: a truncated DLL must not be
// left for the spooler to load or register.
void discardPartialTarget(InstallContext& context, const WCHAR* targetPath) {
    if (!DeleteFileW(targetPath)) {
        addDeferredFile(context.deferredFiles, targetPath);
    }
}

HRESULT copyOpenedSource(InstallContext& context, HANDLE source, const WCHAR* targetPath,
                         bool reportErrors) {
    HANDLE target = openForWriteWithTimeout(context, targetPath);
    if (target == INVALID_HANDLE_VALUE) {
        if (reportErrors) {
            logError(context, 9, L"Cant't open destination file: %s", targetPath);
        }
        return E_FAIL;
    }
    bool copied = copyContents(context, source, target, targetPath);
    CloseHandle(target);
    if (copied) {
        // An earlier broken copy may have left this path to be deleted later.
        dropDeferredFile(context.deferredFiles, targetPath);
        return S_OK;
    }
    discardPartialTarget(context, targetPath);
    return E_FAIL;
}

HRESULT copyBetween(InstallContext& context, const WCHAR* sourcePath, const WCHAR* targetPath,
                    const WCHAR* fileName, bool reportErrors) {
    HANDLE source =
        CreateFileW(sourcePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (source == INVALID_HANDLE_VALUE) {
        if (reportErrors) {
            logError(context, 10, L"Cant't open source file: %s", fileName);
        }
        return E_FAIL;
    }
    HRESULT result = copyOpenedSource(context, source, targetPath, reportErrors);
    CloseHandle(source);
    return result;
}

HRESULT copyFileInto(InstallContext& context, const WCHAR* targetDir, const WCHAR* fileName,
                     WCHAR* outTargetPath, size_t outCapacity, bool reportErrors) {
    WideText sourcePath = nullptr;
    WideText targetPath = nullptr;
    HRESULT result = E_FAIL;
    if (!buildPath(sourcePath, textOf(context.programDir), fileName) ||
        !buildPath(targetPath, targetDir, fileName) ||
        !handOutTargetPath(textOf(targetPath), outTargetPath, outCapacity)) {
        if (reportErrors) {
            logError(context, 9, L"Cant't open destination file: %s", textOf(targetPath));
        }
    } else {
        result =
            copyBetween(context, textOf(sourcePath), textOf(targetPath), fileName, reportErrors);
    }
    release(targetPath);
    release(sourcePath);
    return result;
}

} // namespace

HANDLE openForWriteWithTimeout(InstallContext& context, const WCHAR* path) {
    DWORD start = GetTickCount();
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        if (attempt > 0) {
            Sleep(kOpenPauseMs);
        }
        HANDLE file =
            CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            return file;
        }
        if (static_cast<DWORD>(GetTickCount() - start) > kOpenTimeoutMs) {
            logLine(context, L"CreateFile - timeout");
            return INVALID_HANDLE_VALUE;
        }
    }
    return INVALID_HANDLE_VALUE;
}

HRESULT copyProductFile(InstallContext& context, const WCHAR* targetDir, const WCHAR* fileName,
                        WCHAR* outTargetPath, size_t outCapacity, bool reportErrors) {
    logLine(context, L">CopyFile %s to %s [%d])", fileName, targetDir, reportErrors ? 1 : 0);
    ++context.logDepth;
    HRESULT result =
        copyFileInto(context, targetDir, fileName, outTargetPath, outCapacity, reportErrors);
    logLine(context, result == S_OK ? L"Copy Succeeded :)" : L"Copy Failed :(");
    --context.logDepth;
    return result;
}
