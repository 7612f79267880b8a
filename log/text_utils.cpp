#include "log/text_utils.h"

#include <cstdint>
#include <cstring>

namespace {

WCHAR foldAscii(WCHAR c) {
    return c >= L'A' && c <= L'Z' ? static_cast<WCHAR>(c + 32) : c;
}

bool isBlank(WCHAR c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

const WCHAR* orEmpty(const WCHAR* s) {
    return s == nullptr ? L"" : s;
}

} // namespace

size_t textLength(const WCHAR* s) {
    size_t count = 0;
    while (s != nullptr && s[count] != L'\0') {
        ++count;
    }
    return count;
}

bool sameText(const WCHAR* a, const WCHAR* b) {
    a = orEmpty(a);
    b = orEmpty(b);
    while (*a != L'\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

int compareIgnoringCase(const WCHAR* a, const WCHAR* b) {
    a = orEmpty(a);
    b = orEmpty(b);
    while (*a != L'\0' && foldAscii(*a) == foldAscii(*b)) {
        ++a;
        ++b;
    }
    return static_cast<int>(foldAscii(*a)) - static_cast<int>(foldAscii(*b));
}

bool copyText(WCHAR* dest, size_t capacity, const WCHAR* src) {
    if (capacity == 0) {
        return false;
    }
    size_t count = textLength(src);
    bool fits = count < capacity;
    if (!fits) {
        count = capacity - 1;
    }
    if (count != 0) {
        std::memcpy(dest, src, count * sizeof(WCHAR));
    }
    dest[count] = L'\0';
    return fits;
}

const WCHAR* findText(const WCHAR* haystack, const WCHAR* needle) {
    if (haystack == nullptr) {
        return nullptr;
    }
    size_t needleLength = textLength(needle);
    for (const WCHAR* at = haystack;; ++at) {
        size_t matched = 0;
        while (matched < needleLength && at[matched] == needle[matched]) {
            ++matched;
        }
        if (matched == needleLength) {
            return at;
        }
        if (*at == L'\0') {
            return nullptr;
        }
    }
}

const WCHAR* findLastChar(const WCHAR* s, WCHAR c) {
    const WCHAR* last = nullptr;
    for (; s != nullptr && *s != L'\0'; ++s) {
        if (*s == c) {
            last = s;
        }
    }
    return last;
}

LONG parseLong(const WCHAR* s) {
    s = orEmpty(s);
    while (isBlank(*s)) {
        ++s;
    }
    bool negative = *s == L'-';
    if (*s == L'-' || *s == L'+') {
        ++s;
    }
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    int64_t value = 0;
    for (; *s >= L'0' && *s <= L'9'; ++s) {
        value = value * 10 + (*s - L'0');
        if (value > limit) {
            value = limit;
        }
    }
    return static_cast<LONG>(negative ? -value : value);
}

WCHAR* duplicateText(const WCHAR* s) {
    size_t count = textLength(s);
    if (count == 0) {
        return nullptr;
    }
    WCHAR* copy = static_cast<WCHAR*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 2 * count + 2));
    if (copy != nullptr) {
        std::memcpy(copy, s, count * sizeof(WCHAR));
    }
    return copy;
}
