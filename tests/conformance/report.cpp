#include "report.h"

#include <cctype>
#include <cstdio>

namespace conformance {

namespace {

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

std::string text(const WCHAR* s) {
    if (!s) {
        return "null";
    }
    std::string out = "\"";
    for (; *s; ++s) {
        appendUtf8(out, static_cast<unsigned>(*s));
    }
    return out + "\"";
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
    // The identifier before the first "(" that follows one and is no cast.
    const std::string code = source;
    for (size_t open = code.find('('); open != std::string::npos; open = code.find('(', open + 1)) {
        size_t start = open;
        while (start > 0 && (std::isalnum(static_cast<unsigned char>(code[start - 1])) ||
                             code[start - 1] == '_')) {
            --start;
        }
        if (start < open) {
            return code.substr(start, open - start);
        }
    }
    return code;
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
    if (h == INVALID_HANDLE_VALUE) {
        return "INVALID";
    }
    return h ? "handle" : "NULL";
}

std::string wideBytes(const BYTE* data, DWORD size) {
    std::string out;
    for (DWORD i = 0; i + 1 < size; i += 2) {
        unsigned c = data[i] | data[i + 1] << 8;
        if (c == 0) {
            out += "^@";
        } else {
            appendUtf8(out, c);
        }
    }
    return size % 2 ? out + "^?" : out;
}

Joined join(const WCHAR* a, const WCHAR* b) {
    Joined joined;
    int n = 0;
    for (const WCHAR* part : {a, b}) {
        for (; *part && n < MAX_PATH - 1; ++part) {
            joined.s[n++] = *part;
        }
    }
    joined.s[n] = 0;
    return joined;
}

void line(const std::string& id, const std::string& call, const std::string& result, DWORD error,
          const std::string& outputs) {
    std::string all = id + ": " + call + " -> " + result + " err=" + num(error);
    if (!outputs.empty()) {
        all += " " + outputs;
    }
    std::printf("%s\n", all.c_str());
    std::fflush(stdout);
}

} // namespace conformance
