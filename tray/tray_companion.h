// The product's tray companion, "foltray.exe": registered to start at every logon and
// started at the end of an install; asked to quit, deleted and unregistered before an
// uninstall and by the "removetray" command. Nothing here writes to the log: the companion
// is a convenience, and no failure of it fails a run.
#pragma once

#include <windows.h>

#include "record/install_context.h"

// The companion that startTrayCompanion would start for this installer: the executable
// beside the installer's parent directory. Null on Windows before NT 6.0, where nothing is
// started. The caller releases the text.
WideText companionToStart(const InstallContext& context);

// Registers the companion for logon and starts it, without waiting for it.
void startTrayCompanion(const InstallContext& context);

// Asks a running companion to quit, deletes the registered executable and removes the
// registration. An executable whose path equals keptExecutable (letter case aside) is left
// in place: a reinstall starts that very file again a moment later.
void stopTrayCompanion(const WCHAR* keptExecutable);
