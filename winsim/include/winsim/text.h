// UTF-8 <-> UTF-16 conversions for winsim's own bookkeeping, its control API and the tests.
// They never touch the C library's wide functions, whose wchar_t is 32 bits on Linux.
#pragma once

#include <string>

#include "winsim/base.h"

namespace winsim {

std::string toUtf8(const WCHAR* text);
std::string toUtf8(const WCHAR* text, size_t count);
std::string toUtf8(const std::u16string& text);
std::u16string toUtf16(const std::string& text);

inline const WCHAR* wz(const std::u16string& text) {
    return reinterpret_cast<const WCHAR*>(text.c_str());
}
inline WCHAR* wzMutable(std::u16string& text) {
    return reinterpret_cast<WCHAR*>(&text[0]);
}

// Windows compares object names (files, keys, services, printers) without regard to case.
std::string foldCase(const std::string& utf8);
bool sameNameIgnoringCase(const std::string& a, const std::string& b);

} // namespace winsim
