// The printer data value "SubKey" that ties a printer to its settings key under the
// user's product key, and the "deleted" mark in that key.
#pragma once

#include <windows.h>

// What a "SubKey" read offers the spooler, terminator included; the reader's buffer has
// one byte more so that the value is always terminated.
const DWORD kSubKeyReadBytes = 64;
const size_t kSubKeyBufferBytes = kSubKeyReadBytes + 1;

// Writes the value in the printer's default data key and under "DsUser"; 2 when the
// "DsUser" copy was stored, else 0.
int storeSettingsKey(HANDLE printer, const char* subKey);
// Reads the value into buffer (kSubKeyBufferBytes at least) from the default data key,
// else from "DsUser"; the buffer is empty when neither holds a string. Returns the result
// of the last read made.
DWORD readSettingsKey(HANDLE printer, char* buffer);
// Deletes the value "deleted" of the settings key at subPath below the product key.
bool clearDeletedMark(const char* subPath);
