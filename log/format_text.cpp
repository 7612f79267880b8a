#include "log/format_text.h"

namespace {

struct Output {
    WCHAR* buffer;
    size_t capacity;
    size_t used;
};

void put(Output& out, WCHAR c) {
    if (out.used + 1 < out.capacity) {
        out.buffer[out.used++] = c;
    }
}

void putText(Output& out, const WCHAR* s) {
    for (; *s != L'\0'; ++s) {
        put(out, *s);
    }
}

void putNumber(Output& out, uint32_t value, uint32_t base) {
    WCHAR digits[16];
    size_t count = 0;
    do {
        digits[count++] = L"0123456789abcdef"[value % base];
        value /= base;
    } while (value != 0);
    while (count != 0) {
        put(out, digits[--count]);
    }
}

void putSigned(Output& out, int32_t value) {
    if (value < 0) {
        put(out, L'-');
    }
    putNumber(out, value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value),
              10);
}

// conversion is the character after a "%"; an unknown one is written as it stands.
void putConversion(Output& out, WCHAR conversion, va_list& args) {
    switch (conversion) {
    case L's': {
        const WCHAR* s = va_arg(args, const WCHAR*);
        putText(out, s == nullptr ? L"(null)" : s);
        break;
    }
    case L'd':
        putSigned(out, va_arg(args, int32_t));
        break;
    case L'x':
        putNumber(out, va_arg(args, uint32_t), 16);
        break;
    case L'%':
        put(out, L'%');
        break;
    default:
        put(out, L'%');
        put(out, conversion);
        break;
    }
}

} // namespace

size_t formatTextV(WCHAR* buffer, size_t capacity, const WCHAR* format, va_list args) {
    Output out = {buffer, capacity, 0};
    va_list rest;
    va_copy(rest, args);
    for (const WCHAR* at = format; *at != L'\0'; ++at) {
        if (*at != L'%') {
            put(out, *at);
        } else if (at[1] == L'\0') {
            put(out, L'%');
        } else {
            putConversion(out, *++at, rest);
        }
    }
    va_end(rest);
    if (capacity != 0) {
        buffer[out.used] = L'\0';
    }
    return out.used;
}

size_t formatText(WCHAR* buffer, size_t capacity, const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    size_t used = formatTextV(buffer, capacity, format, args);
    va_end(args);
    return used;
}
