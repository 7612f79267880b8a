// Splitting the data of a REG_MULTI_SZ value into its strings, apart from any registry call
// so that malformed data can be fed to it directly.
#pragma once

#include <windows.h>

// Where each string of a multi-string lies, as character offsets into its data.
struct MultiStringPart {
    size_t start;
    size_t length;
};

// Splits the data of a REG_MULTI_SZ value of byteSize bytes into its strings, up to the
// terminating empty string; empty strings count. A last string without a terminator ends
// at the end of the data; nothing at or past byteSize is read, and the data need not be
// aligned. Fills at most capacity parts and returns how many strings there are.
size_t scanMultiString(const void* data, size_t byteSize, MultiStringPart* parts, size_t capacity);
