#include "services_model.h"

#include <algorithm>

#include "machine.h"
#include "winsim/text.h"

namespace winsim {

namespace {

// SC_HANDLEs are opaque numbers from a range no other kind of handle uses.
constexpr uintptr_t kHandleBase = 0x5C000000;
// The manager gives a starting service 2 s; the model reports the same while stopping.
constexpr DWORD kPendingWaitHintMs = 2000;

bool isPending(const Service& service) {
    return service.state == SERVICE_START_PENDING || service.state == SERVICE_STOP_PENDING;
}

bool dependsOn(const Service& dependent, const Service& service) {
    return std::any_of(
        dependent.dependsOn.begin(), dependent.dependsOn.end(),
        [&](const std::string& name) { return sameNameIgnoringCase(name, service.name); });
}

bool acceptsControl(const Service& service, DWORD control) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        return service.controlsAccepted & SERVICE_ACCEPT_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE:
        return service.controlsAccepted & SERVICE_ACCEPT_PAUSE_CONTINUE;
    case SERVICE_CONTROL_PARAMCHANGE:
        return service.controlsAccepted & SERVICE_ACCEPT_PARAMCHANGE;
    case SERVICE_CONTROL_NETBINDADD:
    case SERVICE_CONTROL_NETBINDREMOVE:
    case SERVICE_CONTROL_NETBINDENABLE:
    case SERVICE_CONTROL_NETBINDDISABLE:
        return service.controlsAccepted & SERVICE_ACCEPT_NETBINDCHANGE;
    default: // interrogation and user-defined codes always reach a running service
        return true;
    }
}

Service makeService(const std::string& name, const std::string& displayName, DWORD startType,
                    DWORD state, uint64_t startDelayMs, uint64_t stopDelayMs) {
    Service service;
    service.name = name;
    service.displayName = displayName;
    service.startType = startType;
    service.state = state;
    service.startDelayMs = startDelayMs;
    service.stopDelayMs = stopDelayMs;
    return service;
}

} // namespace

void ServiceManager::reset() {
    services_.clear();
    handles_.clear();
    // Windows registers the spooler as an interactive own-process service: `sc query spooler`
    // reports TYPE 110 WIN32_OWN_PROCESS (interactive).
    Service spooler =
        makeService("Spooler", "Print Spooler", SERVICE_AUTO_START, SERVICE_RUNNING, 600, 400);
    spooler.type = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;
    install(spooler);
    Service fax = makeService("Fax", "Fax", SERVICE_DEMAND_START, SERVICE_STOPPED, 1000, 500);
    fax.dependsOn = {"Spooler"};
    install(fax);
}

bool ServiceManager::isRunning(const std::string& name) const {
    const Service* service = find(name);
    return service && service->state == SERVICE_RUNNING;
}

void ServiceManager::listen(const std::string& who, StateListener listener) {
    if (listener) {
        listeners_[who] = std::move(listener);
    } else {
        listeners_.erase(who);
    }
}

Service* ServiceManager::find(const std::string& name) {
    auto it = services_.find(foldCase(name));
    return it == services_.end() ? nullptr : &it->second;
}

const Service* ServiceManager::find(const std::string& name) const {
    auto it = services_.find(foldCase(name));
    return it == services_.end() ? nullptr : &it->second;
}

void ServiceManager::install(const Service& service) {
    services_[foldCase(service.name)] = service;
}

void ServiceManager::uninstall(const std::string& name) {
    services_.erase(foldCase(name));
}

// When a dependency will be running: now, at the end of its start, or never (a hung start).
std::optional<uint64_t> ServiceManager::runningFrom(const Service& service, uint64_t now) const {
    if (service.state == SERVICE_RUNNING) {
        return now;
    }
    return service.dueMs;
}

DWORD ServiceManager::start(Service& service, uint64_t now) {
    if (service.startType == SERVICE_DISABLED) {
        return ERROR_SERVICE_DISABLED;
    }
    if (service.state != SERVICE_STOPPED) {
        return ERROR_SERVICE_ALREADY_RUNNING;
    }
    // The manager starts the services this one depends on first; its own start runs once
    // all of them run.
    std::optional<uint64_t> begin = now;
    for (const std::string& name : service.dependsOn) {
        Service* dependency = find(name);
        if (!dependency) {
            return ERROR_SERVICE_DEPENDENCY_DELETED;
        }
        if (dependency->state == SERVICE_STOPPED && start(*dependency, now) != NO_ERROR) {
            return ERROR_SERVICE_DEPENDENCY_FAIL;
        }
        if (dependency->state == SERVICE_STOP_PENDING) {
            return ERROR_SERVICE_DEPENDENCY_FAIL;
        }
        std::optional<uint64_t> from = runningFrom(*dependency, now);
        begin = (begin && from) ? std::optional<uint64_t>(std::max(*begin, *from)) : std::nullopt;
    }
    service.state = SERVICE_START_PENDING;
    service.dueMs.reset();
    if (begin && !service.neverStarts) {
        service.dueMs = *begin + service.startDelayMs;
    }
    ++service.starts;
    return NO_ERROR;
}

bool ServiceManager::hasActiveDependent(const Service& service) const {
    return std::any_of(services_.begin(), services_.end(), [&](const auto& entry) {
        return entry.second.state != SERVICE_STOPPED && dependsOn(entry.second, service);
    });
}

DWORD ServiceManager::control(Service& service, DWORD control, uint64_t now) {
    if (service.state == SERVICE_STOPPED) {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    if (isPending(service)) {
        return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
    }
    if (!acceptsControl(service, control)) {
        return ERROR_INVALID_SERVICE_CONTROL;
    }
    if (control != SERVICE_CONTROL_STOP) {
        return NO_ERROR;
    }
    if (hasActiveDependent(service)) {
        return ERROR_DEPENDENT_SERVICES_RUNNING;
    }
    if (service.stopErrorTimes > 0) {
        if (service.stopErrorTimes != kEveryTime) {
            --service.stopErrorTimes;
        }
        return service.stopError;
    }
    service.state = SERVICE_STOP_PENDING;
    service.dueMs.reset();
    if (!service.neverStops) {
        service.dueMs = now + service.stopDelayMs;
    }
    ++service.stops;
    return NO_ERROR;
}

SERVICE_STATUS ServiceManager::status(const Service& service) const {
    SERVICE_STATUS status = {};
    status.dwServiceType = service.type;
    status.dwCurrentState = service.state;
    status.dwControlsAccepted = service.state == SERVICE_RUNNING ? service.controlsAccepted : 0;
    status.dwWaitHint = isPending(service) ? kPendingWaitHintMs : 0;
    return status;
}

void ServiceManager::settle(uint64_t now) {
    for (;;) {
        Service* next = nullptr;
        for (auto& entry : services_) {
            Service& service = entry.second;
            if (!service.dueMs || *service.dueMs > now) {
                continue;
            }
            // On a tie a dependency reaches RUNNING before the services that wait for it.
            bool waits = service.state == SERVICE_START_PENDING &&
                         std::any_of(service.dependsOn.begin(), service.dependsOn.end(),
                                     [&](const std::string& name) { return !isRunning(name); });
            if (!waits && (!next || *service.dueMs < *next->dueMs)) {
                next = &service;
            }
        }
        if (!next) {
            return;
        }
        arrive(*next, next->state == SERVICE_START_PENDING ? SERVICE_RUNNING : SERVICE_STOPPED);
    }
}

void ServiceManager::force(Service& service, bool running) {
    if (running) {
        for (const std::string& name : service.dependsOn) {
            if (Service* dependency = find(name)) {
                force(*dependency, true);
            }
        }
    } else {
        for (auto& entry : services_) {
            if (dependsOn(entry.second, service)) {
                force(entry.second, false);
            }
        }
    }
    DWORD state = running ? SERVICE_RUNNING : SERVICE_STOPPED;
    if (service.state != state) {
        arrive(service, state);
    }
}

void ServiceManager::shutDown() {
    for (auto& entry : services_) {
        force(entry.second, false);
    }
}

void ServiceManager::bootUp() {
    for (auto& entry : services_) {
        const DWORD type = entry.second.startType;
        if (type == SERVICE_AUTO_START || type == SERVICE_BOOT_START ||
            type == SERVICE_SYSTEM_START) {
            force(entry.second, true);
        }
    }
}

void ServiceManager::arrive(Service& service, DWORD state) {
    service.state = state;
    service.dueMs.reset();
    if (state == SERVICE_STOPPED) {
        machine().files.releaseHolds(foldCase(service.name));
    }
    std::string name = service.name;
    auto listeners = listeners_; // a listener may register another one
    for (auto& entry : listeners) {
        entry.second(name, state);
    }
}

SC_HANDLE ServiceManager::openHandle(const ScHandle& handle) {
    uintptr_t value = kHandleBase + 8 * ++handlesIssued_;
    handles_[value] = handle;
    return reinterpret_cast<SC_HANDLE>(value);
}

const ScHandle* ServiceManager::handle(SC_HANDLE handle) const {
    auto it = handles_.find(reinterpret_cast<uintptr_t>(handle));
    return it == handles_.end() ? nullptr : &it->second;
}

bool ServiceManager::closeHandle(SC_HANDLE handle) {
    return handles_.erase(reinterpret_cast<uintptr_t>(handle)) == 1;
}

} // namespace winsim
