// Window-manager calls of the simulated machine.
#pragma once

#include "winsim/base.h"

BOOL WINAPI IsWindow(HWND hWnd);
