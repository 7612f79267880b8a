#include <cstring>

#include "machine.h"

namespace {

// Windows-1252 (the ANSI code page of a US-English system) differs from Latin-1 only in
// 0x80-0x9F; the five bytes it leaves undefined map to the C1 controls of the same value.
const WCHAR kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const UINT kWindows1252 = 1252;

WCHAR fromWindows1252(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) {
        return kWindows1252High[byte - 0x80];
    }
    return static_cast<WCHAR>(byte);
}

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
        lpWideCharStr[i] = fromWindows1252(static_cast<unsigned char>(lpMultiByteStr[i]));
    }
    return static_cast<int>(count);
}
