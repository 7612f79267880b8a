#include "log/wide_text.h"

#include <cstdlib>
#include <cstring>

#include "log/text_utils.h"

namespace {

const size_t kCapacityStep = 32;

size_t capacityFor(size_t length) {
    return (length + 1 + kCapacityStep - 1) / kCapacityStep * kCapacityStep;
}

size_t blockSizeFor(size_t length) {
    return length == 0 ? 0 : sizeof(WideTextBlock) + sizeof(WCHAR) * capacityFor(length);
}

WCHAR* charsAfterCount(WideTextBlock* block) {
    return reinterpret_cast<WCHAR*>(reinterpret_cast<BYTE*>(block) + sizeof(WideTextBlock));
}

} // namespace

const WCHAR* textOf(WideText text) {
    return text == nullptr ? L"" : charsAfterCount(text);
}

WCHAR* charsOf(WideText text) {
    return text == nullptr ? nullptr : charsAfterCount(text);
}

size_t lengthOf(WideText text) {
    return text == nullptr ? 0 : static_cast<size_t>(text->length);
}

bool setLength(WideText& text, size_t n) {
    if (n == 0) {
        release(text);
        return true;
    }
    size_t newSize = blockSizeFor(n);
    if (newSize != blockSizeFor(lengthOf(text))) {
        void* block = std::realloc(text, newSize);
        if (block == nullptr) {
            return false;
        }
        text = static_cast<WideTextBlock*>(block);
    }
    charsAfterCount(text)[n] = L'\0';
    text->length = n;
    return true;
}

bool assign(WideText& text, const WCHAR* s) {
    size_t count = textLength(s);
    if (!setLength(text, count)) {
        return false;
    }
    if (count != 0) {
        std::memcpy(charsAfterCount(text), s, count * sizeof(WCHAR));
    }
    return true;
}

bool append(WideText& text, const WCHAR* s) {
    size_t count = textLength(s);
    if (count == 0) {
        return true;
    }
    size_t oldLength = lengthOf(text);
    if (!setLength(text, oldLength + count)) {
        return false;
    }
    std::memcpy(charsAfterCount(text) + oldLength, s, count * sizeof(WCHAR));
    return true;
}

void release(WideText& text) {
    std::free(text);
    text = nullptr;
}

WideText fromAnsi(const char* s) {
    if (s == nullptr || *s == '\0') {
        return nullptr;
    }
    int count = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, s, -1, nullptr, 0);
    if (count < 2) {
        return nullptr;
    }
    WideText text = nullptr;
    if (!setLength(text, static_cast<size_t>(count) - 1)) {
        return nullptr;
    }
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, s, -1, charsAfterCount(text), count) != count) {
        release(text);
    }
    return text;
}

WideText directoryOf(WideText text) {
    const WCHAR* chars = textOf(text);
    const WCHAR* separator = findLastChar(chars, L'\\');
    if (separator == nullptr) {
        separator = findLastChar(chars, L'/');
    }
    WideText directory = nullptr;
    if (separator != nullptr && separator != chars &&
        setLength(directory, static_cast<size_t>(separator - chars))) {
        std::memcpy(charsAfterCount(directory), chars, lengthOf(directory) * sizeof(WCHAR));
    }
    return directory;
}
