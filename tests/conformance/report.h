// The battery's transcript: one normalised line per case, the same on every Win32
// implementation that behaves alike. A line reads
//   <case id>: <Call>(<arguments that matter>) -> <result> err=<last error> <outputs>
// where a last error or an output still holding the poison reads "-".
#pragma once

#include <windows.h>

#include <string>
#include <tuple>

namespace conformance {

constexpr DWORD kPoison = 0xDEADBEEF;

std::string text(const WCHAR* s); // "quoted" UTF-8 (CR, LF as ^M, ^J), or null
std::string text(const char* s);  // "quoted" ANSI bytes, or null
std::string path(const WCHAR* s); // as text, lower-cased: Windows spells its folders either way
std::string num(DWORD value);     // decimal (a LONG status too), "-" for the poison
std::string hex(DWORD value);     // lower-case hex, "-" for the poison
std::string flag(BOOL ok);        // TRUE / FALSE
std::string handle(HANDLE h);     // NULL, INVALID, or handle
// A pointer result: `what` when set, else NULL.
inline auto named(const char* what) {
    return [what](const void* p) { return std::string(p ? what : "NULL"); };
}
// Bytes of a UTF-16 text, NUL shown as ^@, CR and LF as ^M and ^J, a trailing odd byte as ^?.
std::string wideBytes(const BYTE* data, DWORD size);

void line(const std::string& id, const std::string& call, const std::string& result, DWORD error,
          const std::string& outputs);

// Texts joined with a space: the fields of one entry.
template <typename... More> std::string spaced(const std::string& first, const More&... more) {
    return (first + ... + (" " + std::string(more)));
}

// The name of the call in a case's source: "h = CreateFileW(x)" gives "CreateFileW".
std::string callName(const char* source);

// One case: the last error poisoned, `call` made once, its line printed with `args` after
// the call's name, show(result_), and the outputs if given, an expression read after the call.
// The case's value is the call's result.
#define CASE(id, args, call, show, ...)                                                            \
    [&] {                                                                                          \
        SetLastError(kPoison);                                                                     \
        const auto result_ = (call);                                                               \
        const DWORD error_ = GetLastError();                                                       \
        line(id, callName(#call) + "(" + (args) + ")", show(result_), error_,                      \
             std::string(__VA_ARGS__));                                                            \
        return result_;                                                                            \
    }()

// A table's row: a case's id, then what its call takes, named where a loop unpacks it.
template <typename... Fields> using Row = std::tuple<const char*, Fields...>;

// A record or a value as the calls taking LPBYTE want it.
template <typename T> LPBYTE bytes(const T* p) {
    return reinterpret_cast<LPBYTE>(const_cast<T*>(p));
}

// A string argument for calls whose prototypes take LPWSTR but only read it.
inline WCHAR* arg(const WCHAR* s) {
    return const_cast<WCHAR*>(s);
}

} // namespace conformance
