// The context's printer list, taken once when a run starts, with the user's default
// printer flagged in it so that a reinstall can make its re-created printer the default
// again.
#pragma once

struct InstallContext;

void markDefaultPrinter(InstallContext& context);
