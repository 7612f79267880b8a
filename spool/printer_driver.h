// The product's printer driver "Folioscope printer": its three files staged in the
// spooler's printer-driver directory and registered from there, and its removal.
#pragma once

#include "spool/spooler_queries.h"

struct InstallContext;

void installPrinterDriver(InstallContext& context);
// Logs the drivers of the list, then deletes the product's driver with its files.
void removePrinterDriver(InstallContext& context, const DriverList& drivers);
// 0-based index of the driver named exactly "Folioscope printer", or -1.
int findProductDriver(const DriverList& drivers);
