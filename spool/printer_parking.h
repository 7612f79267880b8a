// While the product monitor is replaced, the printers that print to its port are moved
// to the spooler's "file:" port, because the spooler will not remove a monitor whose port
// is in use; once the monitor is back, the same printers are moved back.
#pragma once

struct InstallContext;

// Rebuilds the context's parkedPrinters from its printer list: every entry whose port
// list names "Folioscope:" gets "file:" in that place, in memory and in the spooler.
void parkPrinters(InstallContext& context);
// Turns each parked entry's port back at the place where it was parked.
void restoreParkedPrinters(InstallContext& context);
