#include "registry_ansi.h"

namespace winsim {

namespace {

// 0x80..0x9F; the five unassigned bytes map to the C1 control of the same value, as
// MultiByteToWideChar does.
const char16_t kHighControls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t widen(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char16_t(byte);
}

char narrow(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<char>(c);
    }
    for (unsigned i = 0; i < 32; ++i) {
        if (kHighControls[i] == c) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

} // namespace

std::u16string ansiToUtf16(const char* bytes, size_t count) {
    std::u16string chars(count, u'\0');
    for (size_t i = 0; i < count; ++i) {
        chars[i] = widen(static_cast<unsigned char>(bytes[i]));
    }
    return chars;
}

std::string utf16ToAnsi(const std::u16string& chars) {
    std::string bytes(chars.size(), '\0');
    for (size_t i = 0; i < chars.size(); ++i) {
        bytes[i] = narrow(chars[i]);
    }
    return bytes;
}

} // namespace winsim
