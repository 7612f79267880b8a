// The service control manager's part of a saved machine: services.txt in the machine
// directory, a [Name] block of key=value lines per service, times in virtual ms. A pending
// transition is kept as the time it still needs (remainingMs, "never" when hung) and is due
// that long after the clock at load time. Open handles are not kept: a loaded machine is a
// new process.
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "machine.h"
#include "services_model.h"

namespace winsim {

namespace {

const char* const kFileName = "/services.txt";

struct Named {
    DWORD value;
    const char* name;
};

const Named kStates[] = {{SERVICE_STOPPED, "STOPPED"},
                         {SERVICE_START_PENDING, "START_PENDING"},
                         {SERVICE_STOP_PENDING, "STOP_PENDING"},
                         {SERVICE_RUNNING, "RUNNING"}};

const Named kStartTypes[] = {{SERVICE_BOOT_START, "boot"},
                             {SERVICE_SYSTEM_START, "system"},
                             {SERVICE_AUTO_START, "auto"},
                             {SERVICE_DEMAND_START, "demand"},
                             {SERVICE_DISABLED, "disabled"}};

template <size_t N> std::string nameOf(const Named (&table)[N], DWORD value) {
    for (const Named& entry : table) {
        if (entry.value == value) {
            return entry.name;
        }
    }
    return std::to_string(value);
}

template <size_t N> bool valueOf(const Named (&table)[N], const std::string& text, DWORD& out) {
    for (const Named& entry : table) {
        if (text == entry.name) {
            out = entry.value;
            return true;
        }
    }
    return false;
}

std::string hex(DWORD value) {
    std::ostringstream out;
    out << "0x" << std::hex << value;
    return out.str();
}

bool isPending(const Service& service) {
    return service.state == SERVICE_START_PENDING || service.state == SERVICE_STOP_PENDING;
}

std::string remainingText(const Service& service, uint64_t now) {
    if (!service.dueMs) {
        return "never";
    }
    return std::to_string(*service.dueMs > now ? *service.dueMs - now : 0);
}

void writeService(std::ostream& out, const Service& service, uint64_t now) {
    std::string dependsOn;
    for (const std::string& name : service.dependsOn) {
        dependsOn += (dependsOn.empty() ? "" : ",") + name;
    }
    out << "\n[" << service.name << "]\n"
        << "displayName=" << service.displayName << "\n"
        << "type=" << hex(service.type) << "\n"
        << "startType=" << nameOf(kStartTypes, service.startType) << "\n"
        << "state=" << nameOf(kStates, service.state) << "\n"
        << "controlsAccepted=" << hex(service.controlsAccepted) << "\n"
        << "dependsOn=" << dependsOn << "\n"
        << "startDelayMs=" << service.startDelayMs << "\n"
        << "stopDelayMs=" << service.stopDelayMs << "\n"
        << "neverStarts=" << service.neverStarts << "\n"
        << "neverStops=" << service.neverStops << "\n"
        << "grantedAccess=" << hex(service.grantedAccess) << "\n"
        << "stopError=" << service.stopError << "\n"
        << "stopErrorTimes="
        << (service.stopErrorTimes == kEveryTime ? "always"
                                                 : std::to_string(service.stopErrorTimes))
        << "\n"
        << "starts=" << service.starts << "\n"
        << "stops=" << service.stops << "\n";
    if (isPending(service)) {
        out << "remainingMs=" << remainingText(service, now) << "\n";
    }
}

// Decimal or 0x-prefixed hexadecimal, the whole text, at most "limit".
bool parseNumber(const std::string& text, uint64_t limit, uint64_t& out) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || value > limit) {
        return false;
    }
    out = value;
    return true;
}

template <typename T> bool setNumber(T& field, const std::string& text) {
    uint64_t value = 0;
    if (!parseNumber(text, static_cast<T>(~T(0)), value)) {
        return false;
    }
    field = static_cast<T>(value);
    return true;
}

bool setFlag(bool& field, const std::string& text) {
    if (text != "0" && text != "1") {
        return false;
    }
    field = text == "1";
    return true;
}

bool setList(std::vector<std::string>& field, const std::string& text) {
    field.clear();
    std::istringstream in(text);
    std::string name;
    while (std::getline(in, name, ',')) {
        if (name.empty()) {
            return false;
        }
        field.push_back(name);
    }
    return true;
}

bool setTimes(unsigned& field, const std::string& text) {
    if (text == "always") {
        field = kEveryTime;
        return true;
    }
    return setNumber(field, text);
}

bool setRemaining(Service& service, const std::string& text, uint64_t now) {
    if (text == "never") {
        service.dueMs.reset();
        return true;
    }
    uint64_t remaining = 0;
    if (!parseNumber(text, ~uint64_t(0) - now, remaining)) {
        return false;
    }
    service.dueMs = now + remaining;
    return true;
}

bool setField(Service& service, const std::string& key, const std::string& text, uint64_t now) {
    using Setter = std::function<bool(Service&, const std::string&)>;
    static const std::map<std::string, Setter> setters = {
        {"displayName",
         [](Service& s, const std::string& t) {
             s.displayName = t;
             return true;
         }},
        {"type", [](Service& s, const std::string& t) { return setNumber(s.type, t); }},
        {"startType",
         [](Service& s, const std::string& t) { return valueOf(kStartTypes, t, s.startType); }},
        {"state", [](Service& s, const std::string& t) { return valueOf(kStates, t, s.state); }},
        {"controlsAccepted",
         [](Service& s, const std::string& t) { return setNumber(s.controlsAccepted, t); }},
        {"dependsOn", [](Service& s, const std::string& t) { return setList(s.dependsOn, t); }},
        {"startDelayMs",
         [](Service& s, const std::string& t) { return setNumber(s.startDelayMs, t); }},
        {"stopDelayMs",
         [](Service& s, const std::string& t) { return setNumber(s.stopDelayMs, t); }},
        {"neverStarts", [](Service& s, const std::string& t) { return setFlag(s.neverStarts, t); }},
        {"neverStops", [](Service& s, const std::string& t) { return setFlag(s.neverStops, t); }},
        {"grantedAccess",
         [](Service& s, const std::string& t) { return setNumber(s.grantedAccess, t); }},
        {"stopError", [](Service& s, const std::string& t) { return setNumber(s.stopError, t); }},
        {"stopErrorTimes",
         [](Service& s, const std::string& t) { return setTimes(s.stopErrorTimes, t); }},
        {"starts", [](Service& s, const std::string& t) { return setNumber(s.starts, t); }},
        {"stops", [](Service& s, const std::string& t) { return setNumber(s.stops, t); }},
    };
    if (key == "remainingMs") {
        return setRemaining(service, text, now);
    }
    auto it = setters.find(key);
    return it != setters.end() && it->second(service, text);
}

// Reads every service block; false on any line it does not understand.
bool readServices(std::istream& in, uint64_t now, std::vector<Service>& services) {
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line.front() == '[' && line.back() == ']' && line.size() > 2) {
            services.emplace_back();
            services.back().name = line.substr(1, line.size() - 2);
            continue;
        }
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            return false;
        }
        std::string key = line.substr(0, equals);
        std::string text = line.substr(equals + 1);
        if (services.empty() || !setField(services.back(), key, text, now)) {
            return false;
        }
    }
    return true;
}

} // namespace

// Written beside the old file and renamed over it, so a failed save leaves the old one.
bool ServiceManager::save(const std::string& dir) const {
    std::string temp = dir + kFileName + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        uint64_t now = machine().clockMs;
        out << "# Service control manager of the simulated machine; times in virtual ms.\n";
        for (const auto& entry : services_) {
            writeService(out, entry.second, now);
        }
        if (!out.flush()) {
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, dir + kFileName, ec);
    return !ec;
}

bool ServiceManager::load(const std::string& dir) {
    std::ifstream in(dir + kFileName, std::ios::binary);
    if (!in) {
        return false;
    }
    std::vector<Service> services;
    if (!readServices(in, machine().clockMs, services)) {
        return false;
    }
    services_.clear();
    handles_.clear();
    for (Service& service : services) {
        if (!isPending(service)) {
            service.dueMs.reset();
        }
        install(service);
    }
    return true;
}

} // namespace winsim
