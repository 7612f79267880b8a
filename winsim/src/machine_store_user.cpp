#include "machine_store_user.h"

#include <cstdlib>
#include <sstream>
#include <utility>

#include "files_boot_refusals.h"
#include "machine_store_text.h"
#include "user_model.h"
#include "winsim/control.h"

namespace winsim {

namespace {

using control::DialogClose;

const std::pair<DialogClose, const char*> kCloseNames[] = {
    {DialogClose::None, "none"},          {DialogClose::CloseButton, "close_button"},
    {DialogClose::Enter, "enter"},        {DialogClose::Escape, "escape"},
    {DialogClose::CloseBox, "close_box"},
};

const char* closeName(DialogClose close) {
    for (const auto& entry : kCloseNames) {
        if (entry.first == close) {
            return entry.second;
        }
    }
    return "";
}

bool parseClose(const std::string& text, DialogClose& out) {
    for (const auto& entry : kCloseNames) {
        if (text == entry.second) {
            out = entry.first;
            return true;
        }
    }
    return false;
}

bool parseFlag(const std::string& text, bool& out) {
    out = text == "1";
    return text == "0" || text == "1";
}

// "5 C:\Temp\a.dll|32 C:\Temp\b.dll": no Windows path holds a '|'.
std::string refusalsText() {
    std::string text;
    for (const BootDeletionRefusal& refusal : bootDeletionRefusals()) {
        text += (text.empty() ? "" : "|") + std::to_string(refusal.error) + " " + refusal.path;
    }
    return text;
}

bool parseRefusals(const std::string& text) {
    std::istringstream in(text);
    std::string entry;
    while (std::getline(in, entry, '|')) {
        const size_t space = entry.find(' ');
        if (space == 0 || space == std::string::npos ||
            entry.find_first_not_of("0123456789") != space) {
            return false;
        }
        const unsigned long error = std::strtoul(entry.c_str(), nullptr, 10);
        control::refuseBootDeletion(entry.substr(space + 1), static_cast<uint32_t>(error));
    }
    return true;
}

} // namespace

void resetSessionState() {
    userSession() = UserSession();
    bootDeletionRefusals().clear();
}

std::string sessionStateText() {
    const UserSession& session = userSession();
    std::ostringstream out;
    out << "dialog_close=" << closeName(session.close) << "\n"
        << "shift_held=" << (session.shiftHeld ? 1 : 0) << "\n"
        << "window_station_visible=" << (session.stationVisible ? 1 : 0) << "\n"
        << "refused_boot_deletions=" << percentEscape(refusalsText()) << "\n";
    return out.str();
}

// The lines of the other models are left to them.
bool applySessionState(const std::map<std::string, std::string>& fields) {
    resetSessionState();
    UserSession& session = userSession();
    for (const auto& field : fields) {
        const std::string& name = field.first;
        const std::string& value = field.second;
        const bool good = name == "dialog_close" ? parseClose(value, session.close)
                          : name == "shift_held" ? parseFlag(value, session.shiftHeld)
                          : name == "window_station_visible"
                              ? parseFlag(value, session.stationVisible)
                          : name == "refused_boot_deletions" ? parseRefusals(value)
                                                             : true;
        if (!good) {
            return false;
        }
    }
    return true;
}

} // namespace winsim
