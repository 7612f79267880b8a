// The spooler objects a clean Windows 10/11 x64 ships with (control::windowsMachine lays
// them out), so that a description can list them apart from everything else.
#pragma once

#include <string>

namespace winsim::inbox {

bool isMonitor(const std::string& name);
bool isDriver(const std::string& name);
bool isPrinter(const std::string& name);

} // namespace winsim::inbox
