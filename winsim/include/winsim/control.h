// The control API of the simulated machine: only tests and tools include it. It builds,
// loads and saves machines and turns the knobs that make Windows misbehave on purpose.
#pragma once

#include <cstdint>
#include <string>

#include "winsim/control/files.h"
#include "winsim/control/machine.h"
#include "winsim/control/programs.h"
#include "winsim/control/versions.h"
#include "winsim/control/services.h"
#include "winsim/control/spooler.h"
#include "winsim/control/user.h"
