// Set-up and release of the run record: the run wrapper owns them.
#pragma once

#include "record/install_context.h"

const int kBuildNumber = 2060;

// The environment and the file names of the 64-bit platform, the only one set up.
void selectPlatformFiles(InstallContext& context);
