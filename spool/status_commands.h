// The status questions and the default-printer command. They run without a run record:
// they write no log, show nothing, and fold every failure into their answer.
#pragma once

// Is the user's default printer something other than a product printer? An unreadable
// default printer counts as another printer.
bool defaultIsOtherPrinter();
// Is the driver of the first product printer of build 2044 or later?
bool driverIsCurrent();
// Makes the first product printer the user's default; does nothing without one.
void makeProductPrinterDefault();
