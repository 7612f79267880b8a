// Floor of an unknown command word: the command line split, nothing else.
#include "floor.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    splitCommandLine();
    return 6;
}
