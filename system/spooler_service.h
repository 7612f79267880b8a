// Control of the "spooler" service: the spooler keeps the port monitor, the driver files and
// the help file open while it runs, so files it holds can only be replaced with it stopped.
#pragma once

#include <windows.h>

struct InstallContext;

// Starts the service (a service already running or starting is fine) and polls its state
// 50 times, 200 ms apart. Needs SERVICE_START and SERVICE_QUERY_STATUS. Writes no log.
bool startServiceAndWait(SC_HANDLE service);

// Makes sure the spooler runs: ">Check Spooler", then errors 1, 2 or 4. True when it runs,
// or when its state could not be queried.
bool checkSpooler(InstallContext& context);

// Stops the spooler for as long as it lives, and starts it again when it ends, even when
// it was stopped before. Without a context it writes nothing, whatever fails.
struct SpoolerRestart {
    InstallContext* context;
    SC_HANDLE manager;
    SC_HANDLE service;
    bool stopRequested;

    explicit SpoolerRestart(InstallContext* context);
    ~SpoolerRestart();
    SpoolerRestart(const SpoolerRestart&) = delete;
    SpoolerRestart& operator=(const SpoolerRestart&) = delete;
};
