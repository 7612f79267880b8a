#include "machine.h"

// No window exists on the simulated desktop yet, so no handle names a window.
BOOL WINAPI IsWindow(HWND hWnd) {
    (void)hWnd;
    return FALSE;
}
