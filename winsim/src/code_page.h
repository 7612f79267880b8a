// The ANSI code page of the simulated machine (Windows-1252, as on a US or Western
// European Windows), shared by MultiByteToWideChar and the A registry calls.
#pragma once

#include <string>

namespace winsim {

// One byte of the ANSI code page as a UTF-16 character.
char16_t widen(unsigned char byte);

std::u16string ansiToUtf16(const char* bytes, size_t count);
// Characters the code page lacks become '?', as WideCharToMultiByte's default character.
std::string utf16ToAnsi(const std::u16string& chars);

} // namespace winsim
