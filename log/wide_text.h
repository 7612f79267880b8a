// WideText: a growable wide string in one runtime-heap block, laid out as
// [u64 character count][characters][NUL]. A null handle is the empty string, and a block
// never holds length 0. Capacity grows and shrinks in steps of 32 characters.
#pragma once

#include <windows.h>

#include "record/wide_text_type.h"

// The characters of the text, or an empty string for a null handle; never null.
const WCHAR* textOf(WideText text);
// The characters of the text for writing in place, or null for a null handle.
WCHAR* charsOf(WideText text);
size_t lengthOf(WideText text);

// Makes the text n characters long and terminates it; n == 0 frees the block. The
// characters beyond the old length are left for the caller to write. On a failed
// allocation the text is left as it was and false comes back.
bool setLength(WideText& text, size_t n);
bool assign(WideText& text, const WCHAR* s);
bool append(WideText& text, const WCHAR* s);
void release(WideText& text);

// A new text from an ANSI string in the system code page; null or "" gives the empty text.
WideText fromAnsi(const char* s);
// The characters before the last backslash (or, with none, the last slash) of text; the
// empty text when there is no separator or it stands first.
WideText directoryOf(WideText text);
