// The names the spooler knows the product by. The product's own objects are recognised
// by exact, case-sensitive comparison of the whole name, although the spooler itself
// compares names without case: a look-alike in another case is someone else's object.
#pragma once

#include <windows.h>

const WCHAR kProductMonitor[] = L"Folioscope:";
const WCHAR kProductDriver[] = L"Folioscope printer";
const WCHAR kProductPrinter[] = L"Folioscope";
const WCHAR kProductMaker[] = L"Orvanta Software Kft.";
const WCHAR kProductWebAddress[] = L"https://www.orvanta.example/folioscope";
// The spooler's own file port, where printers wait while the product monitor is replaced.
const WCHAR kParkingPort[] = L"file:";
const WCHAR kPrintProcessor[] = L"WinPrint";
