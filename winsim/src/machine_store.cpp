// Fresh, saved and loaded machines. A machine directory is the whole machine: drive C:
// under drive_c/, one text file per registry hive, and state.txt for what the models do
// not hold themselves (clock, program path, command line, Windows version, elevation).
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "machine.h"
#include "machine_store_text.h"
#include "machine_store_user.h"
#include "winsim/control.h"

namespace winsim::control {

namespace {

std::string stateFile(const std::string& dir) {
    return dir + "/state.txt";
}

// The keys a Windows machine already has where the installer reads and writes.
void addWindowsKeys(Registry& registry) {
    registry.create(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager");
    registry.create(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    registry.create(Hive::CurrentUser, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows");
}

std::string stateText(const Machine& m) {
    const MachineSettings& s = m.settings;
    std::ostringstream out;
    out << "; winsim machine state\n"
        << "clock_ms=" << m.clockMs << "\n"
        << "program_path=" << percentEscape(s.programPath) << "\n"
        << "command_line=" << percentEscape(s.commandLine) << "\n"
        << "os_version=" << s.osMajor << "." << s.osMinor << "." << s.osBuild << "\n"
        << "os_platform=" << s.osPlatform << "\n"
        << "administrator=" << (s.administrator ? 1 : 0) << "\n"
        << sessionStateText();
    return out.str();
}

bool readFields(const std::string& path, std::map<std::string, std::string>& fields) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        size_t eq = line.find('=');
        if (line.empty() || line[0] == ';') {
            continue;
        }
        std::string value;
        if (eq == std::string::npos || !percentUnescape(line.substr(eq + 1), value)) {
            return false;
        }
        fields[line.substr(0, eq)] = value;
    }
    return true;
}

bool parseNumber(const std::string& text, uint64_t& out) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    out = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

bool parseVersion(const std::string& text, MachineSettings& s) {
    uint64_t parts[3] = {};
    std::istringstream in(text);
    std::string part;
    for (uint64_t& value : parts) {
        if (!std::getline(in, part, '.') || !parseNumber(part, value)) {
            return false;
        }
    }
    s.osMajor = static_cast<DWORD>(parts[0]);
    s.osMinor = static_cast<DWORD>(parts[1]);
    s.osBuild = static_cast<DWORD>(parts[2]);
    return true;
}

bool applyState(const std::map<std::string, std::string>& fields, Machine& m) {
    auto field = [&fields](const char* name) {
        auto it = fields.find(name);
        return it == fields.end() ? std::string() : it->second;
    };
    uint64_t platform = 0;
    uint64_t administrator = 0;
    if (!parseNumber(field("clock_ms"), m.clockMs) ||
        !parseVersion(field("os_version"), m.settings) ||
        !parseNumber(field("os_platform"), platform) ||
        !parseNumber(field("administrator"), administrator) || !fields.count("program_path") ||
        !fields.count("command_line")) {
        return false;
    }
    m.settings.osPlatform = static_cast<DWORD>(platform);
    m.settings.administrator = administrator != 0;
    m.settings.programPath = field("program_path");
    m.settings.commandLine = field("command_line");
    return true;
}

bool writeState(const std::string& dir, const Machine& m) {
    std::string temp = stateFile(dir) + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << stateText(m);
        if (!out.flush()) {
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, stateFile(dir), ec);
    return !ec;
}

} // namespace

// The registry is filled first: other models may keep state in it.
void freshMachine(const std::string& hostDir) {
    Machine& m = machine();
    m.hostDir = hostDir;
    m.clockMs = 0;
    m.lastError = 0;
    m.settings = MachineSettings();
    m.registry.reset();
    addWindowsKeys(m.registry);
    m.memory.reset();
    m.files.reset();
    m.services.reset();
    m.spooler.reset();
    resetSessionState();
    m.programs.reset();
}

bool machineExists(const std::string& dir) {
    std::error_code ec;
    return std::filesystem::is_regular_file(stateFile(dir), ec);
}

// Each model's load replaces its whole state; nothing is reset first, so that a model
// whose reset lays out a fresh drive C: never touches the files being loaded.
bool loadMachine(const std::string& dir) {
    Machine& m = machine();
    std::map<std::string, std::string> fields;
    if (!readFields(stateFile(dir), fields)) {
        return false;
    }
    m.hostDir = dir;
    m.lastError = 0;
    m.settings = MachineSettings();
    return applyState(fields, m) && applySessionState(fields) && m.registry.load(dir) &&
           m.memory.load(dir) && m.files.load(dir) && m.services.load(dir) && m.spooler.load(dir) &&
           m.programs.load(dir);
}

bool saveMachine(const std::string& dir) {
    const Machine& m = machine();
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return !ec && writeState(dir, m) && m.registry.save(dir) && m.memory.save(dir) &&
           m.files.save(dir) && m.services.save(dir) && m.spooler.save(dir) && m.programs.save(dir);
}

std::string defaultMachineDir() {
    const char* dir = std::getenv("WINSIM_MACHINE");
    return dir && *dir ? dir : "./machine";
}

} // namespace winsim::control
