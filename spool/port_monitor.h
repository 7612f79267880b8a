// Removing and adding the product's port monitor "Folioscope:" and its DLL in the system
// directory. During a reinstall a registered monitor of a compatible build stays.
#pragma once

struct InstallContext;
struct MonitorList;

// Builds of the monitor DLL that the current program works with.
const int kOldestCompatibleMonitorBuild = 1214;
const int kNewestCompatibleMonitorBuild = 2060;

// Uninstall step: removes the monitor (parking printers and restarting the spooler if
// the spooler refuses; when it still refuses, the printers go back at once) and deletes
// its DLL; during a reinstall it keeps a compatible monitor and clears InstallMonitor or
// CopyMonitor accordingly.
void removePortMonitor(InstallContext& context, const MonitorList& monitors);
// Reinstall step: copies the DLL (when CopyMonitor), registers the monitor and moves the
// parked printers back.
void installPortMonitor(InstallContext& context);
