// The port monitors installed on the machine, as the spooler lists them, and the
// product's own monitor among them.
#pragma once

#include <windows.h>
#include <winspool.h>

struct InstallContext;

struct MonitorList {
    // One zero-filled global block (strings inside it), null when empty; the holder frees
    // it with GlobalFree.
    MONITOR_INFO_2W* monitors;
    DWORD level;
    DWORD count;
};

// Level 2. A failure is written to the log as a plain line and leaves the list empty.
void enumerateMonitors(MonitorList& list, InstallContext& context);
// 0-based index of the monitor named exactly "Folioscope:", or -1.
int findProductMonitor(const MonitorList& list);
void logMonitorList(InstallContext& context, const MonitorList& list);
