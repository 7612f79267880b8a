// The build of a product file: the fourth component of the product version in its
// version resource.
#pragma once

#include <windows.h>

// 0 to 65535, or -1 when the file is missing or has no readable version resource.
int fileBuildNumber(const WCHAR* path);
