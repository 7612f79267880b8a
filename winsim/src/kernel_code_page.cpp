#include <cstring>

#include "code_page.h"
#include "machine.h"

namespace {

const UINT kWindows1252 = 1252;

int fail(DWORD error) {
    SetLastError(error);
    return 0;
}

} // namespace

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
    (void)dwFlags; // every byte of 1252 is defined, so no flag changes the result
    if (CodePage != CP_ACP && CodePage != kWindows1252) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    // -1: the string is NUL-terminated and its terminator is converted too.
    const size_t count =
        cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    if (cchWideChar == 0) {
        return static_cast<int>(count);
    }
    if (count > static_cast<size_t>(cchWideChar)) {
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    for (size_t i = 0; i < count; ++i) {
        lpWideCharStr[i] =
            static_cast<WCHAR>(winsim::widen(static_cast<unsigned char>(lpMultiByteStr[i])));
    }
    return static_cast<int>(count);
}
