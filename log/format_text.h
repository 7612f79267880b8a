// The product's own wide formatter, identical on both builds (the C runtime's swprintf
// reads "%s" as narrow or wide depending on the compiler's mode). It knows "%s" (wide
// string, null prints "(null)"), "%d" (32-bit int), "%x" (lower-case hex of 32 bits) and
// "%%"; any other character after "%" is copied as it stands.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <cstdint>

// Writes into buffer of capacity characters, always terminated when capacity > 0; a longer
// result is cut. Returns the number of characters stored before the NUL.
size_t formatText(WCHAR* buffer, size_t capacity, const WCHAR* format, ...);
size_t formatTextV(WCHAR* buffer, size_t capacity, const WCHAR* format, va_list args);
