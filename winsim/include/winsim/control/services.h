#pragma once

#include <cstdint>
#include <string>

namespace winsim::control {

// Service names match in any letter case. A knob on a service that does not exist does nothing.

// The state QueryServiceStatus would report now (SERVICE_STOPPED ... SERVICE_RUNNING); 0 when
// the service does not exist.
uint32_t serviceState(const std::string& service);
// Starts the service accepted (StartServiceW, also as another service's dependency) and stop
// controls it accepted (ControlService that left it STOP_PENDING).
unsigned serviceStartCount(const std::string& service);
unsigned serviceStopCount(const std::string& service);

// How long the service stays START_PENDING / STOP_PENDING, in virtual ms.
void setServiceStartDelay(const std::string& service, uint64_t ms);
void setServiceStopDelay(const std::string& service, uint64_t ms);
// From the next start / stop on, the service never leaves START_PENDING / STOP_PENDING.
void setServiceNeverStarts(const std::string& service, bool never);
void setServiceNeverStops(const std::string& service, bool never);

// SERVICE_AUTO_START, SERVICE_DEMAND_START, SERVICE_DISABLED (StartServiceW fails with 1058) ...
void setServiceStartType(const std::string& service, uint32_t startType);
// A stop control that the manager would deliver fails with "error" instead, "times" times
// (every time by default); error 0 lifts the fault.
constexpr unsigned kFailEveryTime = ~0u;
void failServiceStop(const std::string& service, uint32_t error, unsigned times = kFailEveryTime);

// The rights OpenServiceW may grant on the service (SERVICE_ALL_ACCESS on a fresh machine);
// asking for more fails with ERROR_ACCESS_DENIED. 0 makes every open fail.
void setServiceGrantedAccess(const std::string& service, uint32_t rights);
// The service is not installed (OpenServiceW fails with ERROR_SERVICE_DOES_NOT_EXIST).
void removeService(const std::string& service);

// Puts the service into RUNNING (its dependencies first) or STOPPED (its dependents first) at
// once, with the consequences: a stopped spooler lets go of the files it held. Starting "Fax"
// this way makes stopping "Spooler" fail with ERROR_DEPENDENT_SERVICES_RUNNING.
void setServiceRunning(const std::string& service, bool running);

} // namespace winsim::control
