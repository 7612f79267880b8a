/* A DLL that only carries resources: the driver DLL stand-in, and a DLL that is not a port
   monitor. */
#include <windows.h>

__declspec(dllexport) DWORD WINAPI StubVersion(void) {
    return 1;
}
