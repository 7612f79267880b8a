// Whole runs through the program's entry on a machine laid out as the product's setup
// leaves it: the installer and its files in "...\Folioscope\Setup\", the tray companion one
// level up.
#pragma once

#include <string>
#include <vector>

#include "support/machine_test.h"
#include "winsim/control.h"

namespace run_test {

const std::string kSetupDir = "C:\\Program Files\\Folioscope\\Setup\\";
const std::string kCompanion = "C:\\Program Files\\Folioscope\\foltray.exe";
const std::string kDriverDir = "C:\\Windows\\system32\\spool\\DRIVERS\\x64\\";

// The demo machine: a Windows 10/11 PC with the product folder unpacked.
void productMachine(const std::string& dir);
// Runs the program with these words (the program path goes first); returns its exit code.
int run(const std::vector<std::string>& words);
// The logon value naming the companion, or "-" when there is none.
std::string registeredCompanion();
// The dialogs this run showed.
const std::vector<winsim::control::ShownDialog>& dialogs();

} // namespace run_test
