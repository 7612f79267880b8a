#include "machine_store_text.h"

#include <cstdio>

namespace winsim {

namespace {

std::string hexByte(unsigned char c) {
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02x", c);
    return buf;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool hexPair(const std::string& text, size_t pos, char& out) {
    if (pos + 1 >= text.size() || hexDigit(text[pos]) < 0 || hexDigit(text[pos + 1]) < 0) {
        return false;
    }
    out = static_cast<char>(hexDigit(text[pos]) * 16 + hexDigit(text[pos + 1]));
    return true;
}

bool isControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

} // namespace

std::string quoteText(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out +=
                isControl(c) ? "\\x" + hexByte(static_cast<unsigned char>(c)) : std::string(1, c);
        }
    }
    return out + "\"";
}

bool unquoteText(const std::string& line, size_t& pos, std::string& text) {
    if (pos >= line.size() || line[pos] != '"') {
        return false;
    }
    text.clear();
    for (size_t i = pos + 1; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++i >= line.size()) {
            return false;
        }
        char e = line[i];
        if (e == 'x') {
            char byte = 0;
            if (!hexPair(line, i + 1, byte)) {
                return false;
            }
            text += byte;
            i += 2;
        } else {
            text += e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
        }
    }
    return false;
}

std::string percentEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += isControl(c) || c == '%' ? "%" + hexByte(static_cast<unsigned char>(c))
                                        : std::string(1, c);
    }
    return out;
}

bool percentUnescape(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        char byte = 0;
        if (!hexPair(text, i + 1, byte)) {
            return false;
        }
        out += byte;
        i += 2;
    }
    return true;
}

} // namespace winsim
