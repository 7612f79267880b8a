#include <cstring>

#include "machine.h"
#include "message_table.h"
#include "winsim/text.h"

namespace {

// The display language (US English unless a test says otherwise) is the only message
// language installed; 0 and the user/system defaults resolve to it.
bool isInstalledLanguage(DWORD languageId) {
    const DWORD userDefault = 0x0400;
    const DWORD systemDefault = 0x0800;
    return languageId == 0 || languageId == userDefault || languageId == systemDefault ||
           languageId == winsim::machine().settings.displayLanguage;
}

// An insert sequence is "%1" to "%99".
bool hasInsert(const char* text) {
    for (; *text != '\0'; ++text) {
        if (text[0] == '%' && text[1] >= '1' && text[1] <= '9') {
            return true;
        }
    }
    return false;
}

DWORD fail(DWORD error) {
    SetLastError(error);
    return 0;
}

DWORD storeText(const std::u16string& text, DWORD flags, LPWSTR buffer, DWORD size) {
    const size_t bytes = (text.size() + 1) * sizeof(WCHAR);
    if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        // The caller passed the address of a pointer; the block is LocalAlloc'd, freed
        // with LocalFree.
        void* block = LocalAlloc(LMEM_FIXED, bytes);
        if (!block) {
            return fail(ERROR_NOT_ENOUGH_MEMORY);
        }
        std::memcpy(block, text.c_str(), bytes);
        *reinterpret_cast<LPWSTR*>(buffer) = static_cast<LPWSTR>(block);
    } else {
        if (size < text.size() + 1) {
            return fail(ERROR_INSUFFICIENT_BUFFER);
        }
        std::memcpy(buffer, text.c_str(), bytes);
    }
    return static_cast<DWORD>(text.size());
}

} // namespace

// Only system messages are available; inserts are returned as written (%1, %2), which is
// what FORMAT_MESSAGE_IGNORE_INSERTS asks for and all the installer uses. Without that
// flag a message with inserts fails, as Windows fails it when no arguments fill them.
DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                            LPWSTR lpBuffer, DWORD nSize, va_list* Arguments) {
    (void)lpSource;
    (void)Arguments;
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || !lpBuffer) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        *reinterpret_cast<LPWSTR*>(lpBuffer) = nullptr;
    }
    const char* text = winsim::systemMessageText(dwMessageId);
    if (!text) {
        return fail(ERROR_MR_MID_NOT_FOUND);
    }
    if (!isInstalledLanguage(dwLanguageId)) {
        return fail(ERROR_RESOURCE_LANG_NOT_FOUND);
    }
    if (!(dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) && hasInsert(text)) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    return storeText(winsim::toUtf16(text), dwFlags, lpBuffer, nSize);
}
