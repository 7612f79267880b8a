#!/usr/bin/env bash
# Fails when any of the given archives or objects refers to a glibc wide-character function
# or to std::wstring. The Linux build uses 16-bit wchar_t; glibc's wide functions assume 32.
set -euo pipefail
pattern='^(wcs|wmem|wcto|wprintf|swprintf|vswprintf|fwprintf|wscanf|swscanf|btowc|wctob|mbstowcs|wcstombs|mbrtowc|wcrtomb|towlower|towupper|iswalpha|iswspace|iswdigit|fgetws|fputws|getwc|putwc|_wtol|wcsto)'
status=0
for file in "$@"; do
    hits=$(nm -u --format=posix "$file" 2>/dev/null | awk '{print $1}' | grep -E "$pattern" || true)
    wstr=$(nm -C "$file" 2>/dev/null | grep -E 'basic_string<wchar_t' || true)
    if [ -n "$hits$wstr" ]; then
        echo "$file refers to wide-character functions:"
        printf '%s\n' "$hits" "$wstr" | sed '/^$/d; s/^/    /'
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "no glibc wide-character functions referenced by: $*"
exit "$status"
