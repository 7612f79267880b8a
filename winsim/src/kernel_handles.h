// Kernel object handles of the simulated process. Every kind of object (files, mutexes,
// processes) draws its values from one counter, so no two open objects share a value and a
// closed value is never handed out again: a stale handle stays invalid.
#pragma once

#include <windows.h>

namespace winsim {

HANDLE newKernelHandle();

} // namespace winsim
