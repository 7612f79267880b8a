#include "spooler_model.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <winsvc.h>

#include "machine.h"
#include "machine_store_text.h"
#include "spooler_files.h"
#include "spooler_registry.h"
#include "winsim/text.h"

namespace winsim {

namespace {

using control::SpoolerCall;
using spool::child;
using spool::children;

constexpr uintptr_t kHandleBase = 0x5F000000;

void addEnvironment(const std::string& name, const std::string& directory) {
    const std::string path = spool::environmentKeyPath(name);
    Registry& registry = machine().registry;
    RegKey& environment = *registry.create(Hive::LocalMachine, path);
    Registry::setString(environment, "Directory", directory);
    spool::driversKey(environment);
    Registry::setString(*registry.create(Hive::LocalMachine, path + "\\Print Processors\\WinPrint"),
                        "Driver", "winprint.dll");
    spool::createDirectories(spool::driverDirectory(environment) + "\\3");
}

// What a freshly installed Windows spooler has: its own port monitor with the local
// ports, and the print processor for each environment it serves.
void addFreshSpoolerObjects() {
    RegKey& localPort =
        *machine().registry.create(Hive::LocalMachine, spool::monitorKeyPath("Local Port"));
    Registry::setString(localPort, "Driver", "localspl.dll");
    for (const char* port :
         {"FILE:", "LPT1:", "LPT2:", "LPT3:", "COM1:", "COM2:", "COM3:", "COM4:", "PORTPROMPT:"}) {
        Registry::setString(spool::localPortsKey(), port, "");
    }
    addEnvironment(spool::kOwnEnvironment, "x64");
    addEnvironment("Windows NT x86", "W32X86");
    spool::printersKey(); // no printers, but their key
}

std::string knobText(const Spooler& s) {
    std::ostringstream out;
    out << "; winsim spooler knobs\n";
    for (const auto& fault : s.faults) {
        out << "fault\t" << static_cast<int>(fault.first) << "\t" << fault.second.times << "\t"
            << fault.second.error << "\t" << fault.second.after << "\n";
    }
    for (const auto& entry : s.monitorPorts) {
        out << "ports\t" << percentEscape(entry.first);
        for (const std::string& port : entry.second) {
            out << "\t" << percentEscape(port);
        }
        out << "\n";
    }
    for (const std::string& monitor : s.keepDllAfterDelete) {
        out << "keep\t" << percentEscape(monitor) << "\n";
    }
    return out.str();
}

std::vector<std::string> tabFields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t')) {
        fields.push_back(field);
    }
    return fields;
}

bool parseNumber(const std::string& text, DWORD& out) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    out = static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 10));
    return true;
}

bool applyKnobLine(const std::vector<std::string>& f, Spooler& s) {
    std::vector<std::string> text(f.size());
    for (size_t i = 1; i < f.size(); ++i) {
        if (!percentUnescape(f[i], text[i])) {
            return false;
        }
    }
    DWORD call = 0;
    CallFault fault;
    if (f[0] == "fault" && (f.size() == 4 || f.size() == 5)) {
        if (!parseNumber(f[1], call) ||
            call > static_cast<DWORD>(SpoolerCall::GetPrinterDriverDirectory) ||
            !parseNumber(f[2], fault.times) || !parseNumber(f[3], fault.error) ||
            (f.size() == 5 && !parseNumber(f[4], fault.after))) {
            return false;
        }
        s.faults[static_cast<SpoolerCall>(call)] = fault;
        return true;
    }
    if (f[0] == "ports" && f.size() >= 2) {
        s.monitorPorts[text[1]] = std::vector<std::string>(text.begin() + 2, text.end());
        return true;
    }
    if (f[0] == "keep" && f.size() == 2) {
        s.keepDllAfterDelete.insert(text[1]);
        return true;
    }
    return false;
}

} // namespace

void Spooler::forgetEverything() {
    handles_.clear();
    keptDlls_.clear();
    loaded_.clear();
    faults.clear();
    sizelessDirectoryAnswers = 0;
    monitorPorts.clear();
    keepDllAfterDelete.clear();
}

void Spooler::reset() {
    forgetEverything();
    addFreshSpoolerObjects();
    listenToService();
    refreshHolds();
}

bool Spooler::save(const std::string& dir) const {
    const std::string path = dir + "/spooler.txt";
    {
        std::ofstream out(path + ".tmp", std::ios::binary | std::ios::trunc);
        out << knobText(*this);
        if (!out.flush()) {
            return false;
        }
    }
    return std::rename((path + ".tmp").c_str(), path.c_str()) == 0;
}

bool Spooler::load(const std::string& dir) {
    forgetEverything();
    listenToService();
    std::ifstream in(dir + "/spooler.txt", std::ios::binary);
    std::string line;
    bool ok = true;
    while (ok && in && std::getline(in, line)) {
        if (!line.empty() && line[0] != ';') {
            ok = applyKnobLine(tabFields(line), *this);
        }
    }
    refreshHolds();
    return ok;
}

bool Spooler::answers() {
    if (!machine().services.isRunning("spooler")) {
        machine().lastError = RPC_S_SERVER_UNAVAILABLE;
        return false;
    }
    return true;
}

bool Spooler::answers(SpoolerCall call) {
    if (!answers()) {
        return false;
    }
    auto it = faults.find(call);
    if (it == faults.end() || it->second.times == 0) {
        return true;
    }
    if (it->second.after > 0) {
        --it->second.after;
        return true;
    }
    --it->second.times;
    machine().lastError = it->second.error;
    return false;
}

HANDLE Spooler::addHandle(const PrinterHandle& handle) {
    const uintptr_t value = kHandleBase + 8 * ++handlesIssued_;
    handles_[value] = handle;
    return reinterpret_cast<HANDLE>(value);
}

PrinterHandle* Spooler::handle(HANDLE handle) {
    auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
    return it == handles_.end() ? nullptr : &it->second;
}

bool Spooler::closeHandle(HANDLE handle) {
    return handles_.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
}

// What the running spooler has loaded, by case-folded path.
std::map<std::string, std::string> Spooler::filesToLoad() const {
    std::map<std::string, std::string> files;
    if (!machine().services.isRunning("spooler")) {
        return files;
    }
    auto add = [&files](const std::string& path) { files[foldCase(path)] = path; };
    for (RegKey* monitor : children(spool::monitorsKey())) {
        add(spool::modulePath(Registry::getString(*monitor, "Driver")));
    }
    for (const std::string& dll : keptDlls_) {
        add(dll);
    }
    RegKey* environment = spool::findEnvironment(nullptr);
    for (RegKey* printer : children(spool::printersKey())) {
        RegKey* driver = spool::findDriver(spool::readPrinter(*printer).driver);
        if (!driver || !environment) {
            continue;
        }
        const spool::DriverRecord record = spool::readDriver(*driver);
        for (const std::string& file : spool::filesOfDriver(record)) {
            add(spool::driverFilePath(*environment, record, file));
        }
    }
    return files;
}

// Holds of the owner "spooler" on other files (a test's knob) are left alone; one that a
// loaded machine brings along for a file the model loads is taken over. A file missing at
// the moment is not loaded, as the spooler fails to load a monitor whose DLL is gone.
void Spooler::refreshHolds() {
    const std::map<std::string, std::string> wanted = filesToLoad();
    for (const auto& file : loaded_) {
        if (!wanted.count(file.first)) {
            spool::releaseFile(file.second);
        }
    }
    for (const auto& file : wanted) {
        if (!loaded_.count(file.first)) {
            spool::releaseFile(file.second);
            spool::holdFile(file.second);
        }
    }
    loaded_ = wanted;
}

void Spooler::unloadFile(const std::string& path) {
    if (loaded_.erase(foldCase(path))) {
        spool::releaseFile(path);
    }
}

void Spooler::monitorDeleted(const std::string& monitor, const std::string& dllPath) {
    if (keepDllAfterDelete.count(foldCase(monitor))) {
        keptDlls_.insert(dllPath);
    }
}

void Spooler::listenToService() {
    machine().services.listen("spooler model", [this](const std::string& service, DWORD state) {
        if (sameNameIgnoringCase(service, "spooler")) {
            serviceChanged(state);
        }
    });
}

// Printer handles are RPC context handles of one spooler process: none outlives it.
// A stopped service has let go of every file already.
void Spooler::serviceChanged(DWORD state) {
    handles_.clear();
    if (state == SERVICE_STOPPED) {
        keptDlls_.clear();
        loaded_.clear();
    }
    refreshHolds();
}

} // namespace winsim
