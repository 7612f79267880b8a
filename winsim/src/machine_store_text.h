// Escapes for the text files of a machine directory (registry hives, machine state):
// one record per line, readable in an editor, and every byte comes back as it was.
#pragma once

#include <string>

namespace winsim {

// "text" with \\, \", \n, \r, \t and \xHH for other control characters, as in .reg files.
std::string quoteText(const std::string& text);
// Reads a quoted text that starts at line[pos]; on success pos is just past its closing quote.
bool unquoteText(const std::string& line, size_t& pos, std::string& text);

// Control characters and '%' as %XX: for key names and state values, where backslashes
// and quotes are common and must stay readable.
std::string percentEscape(const std::string& text);
bool percentUnescape(const std::string& text, std::string& out);

} // namespace winsim
