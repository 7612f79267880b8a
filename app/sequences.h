// The order in which an install or an uninstall run calls the operations. Every step is
// attempted whatever the earlier ones reported; the log's error count is the result.
#pragma once

#include "record/install_context.h"

// Stops the tray companion and removes the product's printers, driver and port monitor.
void UnInstall(InstallContext& context);
// The "install" sequence: everything removed first, then put back.
void ReInstall(InstallContext& context);
// The "uninstall" sequence: UnInstall, then whatever is left behind.
void runUninstall(InstallContext& context);
