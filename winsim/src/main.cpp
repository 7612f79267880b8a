#include <windows.h>

#include "winsim/control.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

int main() {
    return wWinMain(nullptr, nullptr, nullptr, 1);
}
