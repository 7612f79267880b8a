// The Win32 API as the simulated machine provides it to the Linux build. Only what the
// installer calls is here; each call behaves as Windows does (see winsim/README.md).
#pragma once

#include "winsim/base.h"
#include "winsim/errors.h"
#include "winsim/kernel.h"
#include "winsim/files.h"
#include "winsim/registry.h"
#include "winsim/processes.h"
#include "winsim/user.h"
#include "winsvc.h"
#include "winver.h"
