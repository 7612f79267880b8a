// The system message table (US English) behind FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM).
// Tests build their expected log lines from the same table, so a text is written once.
#pragma once

#include <windows.h>

namespace winsim {

// The text exactly as Windows stores it, trailing CR LF included; null when the system
// has no message for the code.
const char* systemMessageText(DWORD code);

} // namespace winsim
