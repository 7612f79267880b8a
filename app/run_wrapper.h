// One install or uninstall run from set-up to release: the sequence, the deletions handed
// to the next reboot, and the log dialog.
#pragma once

#include <windows.h>

#include "record/install_context.h"

// True when the run reported an error; rebootCount is the number of files scheduled for
// deletion at the next reboot. owner may be null.
bool runInstallCommand(HWND owner, int& rebootCount);
bool runUninstallCommand(HWND owner, int& rebootCount);

// Hands every file still on the deferred list to Windows for deletion at the next reboot
// and empties the list; returns how many Windows accepted.
int scheduleForReboot(InstallContext& context);
