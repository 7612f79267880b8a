// The service control manager of the simulated machine: services by name (any letter case)
// with their state, start type, dependencies and timed transitions over the virtual clock,
// and the SC_HANDLEs the program holds. The Win32 calls (services_api.cpp) and the control
// API (services_control.cpp) work through it; other models ask isRunning() and listen().
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace winsim {

// A stop-control fault that fails every time rather than a given number of times.
constexpr unsigned kEveryTime = ~0u;

struct Service {
    std::string name; // as installed ("Spooler")
    std::string displayName;
    DWORD type = SERVICE_WIN32_OWN_PROCESS;
    DWORD startType = SERVICE_DEMAND_START;
    DWORD state = SERVICE_STOPPED;
    DWORD controlsAccepted = SERVICE_ACCEPT_STOP; // reported while RUNNING
    std::vector<std::string> dependsOn;
    uint64_t startDelayMs = 0; // how long it stays START_PENDING
    uint64_t stopDelayMs = 0;  // how long it stays STOP_PENDING
    bool neverStarts = false;  // a start stays START_PENDING
    bool neverStops = false;   // a stop stays STOP_PENDING
    // Clock time at which the pending state ends; empty when not pending or hung.
    std::optional<uint64_t> dueMs;
    DWORD grantedAccess = SERVICE_ALL_ACCESS; // what OpenServiceW may grant the caller
    DWORD stopError = NO_ERROR;               // the stop control fails with this ...
    unsigned stopErrorTimes = 0;              // ... this many more times (kEveryTime: always)
    unsigned starts = 0;                      // starts the service accepted
    unsigned stops = 0;                       // stop controls the service accepted
};

struct ScHandle {
    bool isService = false;
    std::string service; // case-folded name, for service handles
    DWORD access = 0;
};

class ServiceManager {
  public:
    // Hears a service reach SERVICE_RUNNING or SERVICE_STOPPED (with its installed name).
    using StateListener = std::function<void(const std::string& service, DWORD state)>;

    ServiceManager() { reset(); }

    // A fresh machine: "Spooler" running (auto start) and "Fax", which depends on it, stopped.
    void reset();
    bool save(const std::string& dir) const;
    bool load(const std::string& dir);
    size_t openHandles() const { return handles_.size(); }
    bool isRunning(const std::string& name) const;
    // Called whenever the virtual clock moves: pending state changes that are due happen here.
    void onClock(uint64_t now) { settle(now); }
    // Registering under the same "who" again replaces that listener, an empty one removes it.
    // Listeners are wiring, not machine state: reset() and load() keep them. A service
    // reaching STOPPED first lets go of the files its process held (FileSystem::releaseHolds
    // with its lower-case name, "spooler"), then its listeners hear of it.
    void listen(const std::string& who, StateListener listener);

    Service* find(const std::string& name);
    const Service* find(const std::string& name) const;
    void install(const Service& service);
    void uninstall(const std::string& name);

    // Model operations at clock time "now"; each returns a Win32 error code.
    DWORD start(Service& service, uint64_t now);
    DWORD control(Service& service, DWORD control, uint64_t now);
    SERVICE_STATUS status(const Service& service) const;
    void settle(uint64_t now);
    // Puts a service into RUNNING or STOPPED at once, its dependencies or dependents too.
    void force(Service& service, bool running);

    SC_HANDLE openHandle(const ScHandle& handle);
    const ScHandle* handle(SC_HANDLE handle) const;
    bool closeHandle(SC_HANDLE handle);

  private:
    bool hasActiveDependent(const Service& service) const;
    std::optional<uint64_t> runningFrom(const Service& service, uint64_t now) const;
    void arrive(Service& service, DWORD state);

    std::map<std::string, Service> services_; // by case-folded name
    std::map<uintptr_t, ScHandle> handles_;
    uintptr_t handlesIssued_ = 0; // never reset, so a closed handle never comes back
    std::map<std::string, StateListener> listeners_;
};

} // namespace winsim
