// The lines of state.txt that belong to the person at the machine (how they close dialogs,
// Shift, the window station) and to the refused boot-time deletions.
#pragma once

#include <map>
#include <string>

namespace winsim {

// Default knobs, no dialog shown, no refusal: a fresh machine, or one about to be loaded.
void resetSessionState();
std::string sessionStateText();
// Lines that are missing keep their defaults, so machines saved before they existed load.
bool applySessionState(const std::map<std::string, std::string>& fields);

} // namespace winsim
