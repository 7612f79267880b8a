#include "winsim/control/services.h"

#include "machine.h"

namespace winsim::control {

static_assert(kFailEveryTime == kEveryTime, "one meaning of a fault without end");

namespace {

// The service with its due transitions done, or null.
Service* settled(const std::string& name) {
    ServiceManager& scm = machine().services;
    scm.settle(machine().clockMs);
    return scm.find(name);
}

} // namespace

uint32_t serviceState(const std::string& service) {
    const Service* found = settled(service);
    return found ? found->state : 0;
}

unsigned serviceStartCount(const std::string& service) {
    const Service* found = settled(service);
    return found ? found->starts : 0;
}

unsigned serviceStopCount(const std::string& service) {
    const Service* found = settled(service);
    return found ? found->stops : 0;
}

void setServiceStartDelay(const std::string& service, uint64_t ms) {
    if (Service* found = settled(service)) {
        found->startDelayMs = ms;
    }
}

void setServiceStopDelay(const std::string& service, uint64_t ms) {
    if (Service* found = settled(service)) {
        found->stopDelayMs = ms;
    }
}

void setServiceNeverStarts(const std::string& service, bool never) {
    if (Service* found = settled(service)) {
        found->neverStarts = never;
    }
}

void setServiceNeverStops(const std::string& service, bool never) {
    if (Service* found = settled(service)) {
        found->neverStops = never;
    }
}

void setServiceStartType(const std::string& service, uint32_t startType) {
    if (Service* found = settled(service)) {
        found->startType = startType;
    }
}

void failServiceStop(const std::string& service, uint32_t error, unsigned times) {
    if (Service* found = settled(service)) {
        found->stopError = error;
        found->stopErrorTimes = error == NO_ERROR ? 0 : times;
    }
}

void setServiceGrantedAccess(const std::string& service, uint32_t rights) {
    if (Service* found = settled(service)) {
        found->grantedAccess = rights;
    }
}

void removeService(const std::string& service) {
    machine().services.uninstall(service);
}

void setServiceRunning(const std::string& service, bool running) {
    if (Service* found = settled(service)) {
        machine().services.force(*found, running);
    }
}

} // namespace winsim::control
