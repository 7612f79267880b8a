// Small wide-string helpers. The product uses these instead of the C runtime's wide
// functions, which compute garbage on the Linux build (16-bit wchar_t over a 32-bit libc).
#pragma once

#include <windows.h>

// Characters before the NUL; 0 for null.
size_t textLength(const WCHAR* s);
// Exact, case-sensitive comparison of whole strings; null equals only null or "".
bool sameText(const WCHAR* a, const WCHAR* b);
// Ordering as _wcsicmp in the default locale: only A-Z fold to a-z. Null reads as "".
int compareIgnoringCase(const WCHAR* a, const WCHAR* b);
// Copies src into dest of capacity characters, always terminated when capacity > 0.
// Returns false when src had to be cut (or capacity is 0).
bool copyText(WCHAR* dest, size_t capacity, const WCHAR* src);
// First occurrence of needle in haystack, or null; an empty needle is found at the start.
const WCHAR* findText(const WCHAR* haystack, const WCHAR* needle);
// Last occurrence of c in s, or null.
const WCHAR* findLastChar(const WCHAR* s, WCHAR c);
// Reads a number as _wtol does: leading white space, optional sign, decimal digits up to
// the first other character; 0 when there are none. Saturates at the 32-bit limits, like
// the Windows runtime's LONG.
LONG parseLong(const WCHAR* s);

// A zero-filled GlobalAlloc (GMEM_FIXED) copy of s; null when s is null or empty or the
// allocation fails. The caller frees it with GlobalFree.
WCHAR* duplicateText(const WCHAR* s);
