#include "report.h"

#include <cstdio>
#include <regex>

namespace conformance {

std::string text(const WCHAR* s) {
    DWORD n = 0;
    while (s && s[n]) {
        ++n;
    }
    return s ? "\"" + wideBytes(reinterpret_cast<const BYTE*>(s), 2 * n) + "\"" : "null";
}

std::string text(const char* s) {
    return s ? "\"" + std::string(s) + "\"" : "null";
}

std::string path(const WCHAR* s) {
    std::string shown = text(s);
    for (char& c : shown) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return shown;
}

std::string callName(const char* source) {
    // The first identifier right before a "(": a cast's type is followed by ">(".
    static const std::regex call(R"(\w+(?=\())");
    std::cmatch name;
    return std::regex_search(source, name, call) ? name.str() : source;
}

std::string num(DWORD value) {
    return value == kPoison ? "-" : std::to_string(value);
}

std::string hex(DWORD value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%lx", static_cast<unsigned long>(value));
    return value == kPoison ? "-" : buffer;
}

std::string flag(BOOL ok) {
    return ok ? "TRUE" : "FALSE";
}

std::string handle(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? "INVALID" : h ? "handle" : "NULL";
}

std::string wideBytes(const BYTE* data, DWORD size) {
    std::string out;
    for (DWORD i = 0; i + 1 < size; i += 2) {
        unsigned c = data[i] | data[i + 1] << 8; // as UTF-8; NUL, CR and LF as ^@, ^M, ^J
        if (c == 0 || c == '\r' || c == '\n') {
            out += c ? c == '\r' ? "^M" : "^J" : "^@";
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
        } else {
            out += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                    static_cast<char>(0x80 | (c & 0x3F))};
        }
    }
    return size % 2 ? out + "^?" : out;
}

void line(const std::string& id, const std::string& call, const std::string& result, DWORD error,
          const std::string& outputs) {
    std::printf("%s: %s -> %s err=%s%s%s\n", id.c_str(), call.c_str(), result.c_str(),
                num(error).c_str(), outputs.empty() ? "" : " ", outputs.c_str());
    std::fflush(stdout);
}

} // namespace conformance
