// The program's module instance, stored by wWinMain before anything else runs: the
// context reads its file name, the log dialog is created from its resources.
#pragma once

#include <windows.h>

extern HINSTANCE moduleInstance;
