#include "app/module_instance.h"

HINSTANCE moduleInstance = nullptr;
