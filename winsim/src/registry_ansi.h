// The ANSI code page of the simulated machine (Windows-1252, as on a US or Western
// European Windows), used where the A registry calls convert names and string data.
#pragma once

#include <string>

namespace winsim {

std::u16string ansiToUtf16(const char* bytes, size_t count);
// Characters the code page lacks become '?', as WideCharToMultiByte's default character.
std::string utf16ToAnsi(const std::u16string& chars);

} // namespace winsim
