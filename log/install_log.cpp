#include "log/install_log.h"

#include <cstdarg>

#include "record/install_context.h"
#include "log/format_text.h"
#include "log/text_utils.h"
#include "log/wide_text.h"

namespace {

const LONG kDeepestIndentedLevel = 10;
const DWORD kSystemTextFlags =
    FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
const DWORD kEnglishUnitedStates = 1033;

void appendSpaces(WideText& text, size_t count) {
    size_t start = lengthOf(text);
    if (setLength(text, start + count)) {
        WCHAR* chars = charsOf(text);
        for (size_t i = 0; i < count; ++i) {
            chars[start + i] = L' ';
        }
    }
}

// FormatMessageW hands back the text with the line break of its message table entry.
void stripTrailingLineBreaks(WCHAR* text) {
    size_t length = textLength(text);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n')) {
        text[--length] = L'\0';
    }
}

} // namespace

void appendLogLine(InstallContext& context, const WCHAR* text) {
    if (context.logDepth > 0) {
        LONG levels =
            context.logDepth < kDeepestIndentedLevel ? context.logDepth : kDeepestIndentedLevel;
        appendSpaces(context.logText, 2 * static_cast<size_t>(levels));
    }
    append(context.logText, text);
    append(context.logText, L"\r\n");
}

void logLine(InstallContext& context, const WCHAR* format, ...) {
    WCHAR line[kLogLineCapacity];
    va_list args;
    va_start(args, format);
    formatTextV(line, kLogLineCapacity, format, args);
    va_end(args);
    appendLogLine(context, line);
}

void logError(InstallContext& context, int code, const WCHAR* format, ...) {
    DWORD lastError = GetLastError();
    WCHAR line[kLogLineCapacity];
    size_t used = formatText(line, kLogLineCapacity, L"Error(%d): ", code);
    va_list args;
    va_start(args, format);
    used += formatTextV(line + used, kLogLineCapacity - used, format, args);
    va_end(args);

    // The pointer is only meaningful when a text came back.
    WCHAR* systemText = nullptr;
    if (FormatMessageW(kSystemTextFlags, nullptr, lastError, kEnglishUnitedStates,
                       reinterpret_cast<LPWSTR>(&systemText), 0, nullptr) == 0) {
        systemText = nullptr;
    }
    if (systemText != nullptr) {
        stripTrailingLineBreaks(systemText);
    }
    if (lastError != 0) {
        if (systemText != nullptr) {
            formatText(line + used, kLogLineCapacity - used, L" - (%s)", systemText);
        } else {
            formatText(line + used, kLogLineCapacity - used, L" - ( No Description )");
        }
    }
    appendLogLine(context, line);
    context.errorCount += 1;
    if (systemText != nullptr) {
        LocalFree(systemText);
    }
    SetLastError(lastError);
}
