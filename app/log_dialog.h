// The log dialog (template 101): the run's whole log in a read-only edit box, and a title
// that says whether the run failed.
#pragma once

#include <windows.h>

#include "record/install_context.h"

const size_t kDialogTitleCapacity = 264;

// "Folioscope build 2060- Install error log!" after an error, else "... Install log.".
void dialogTitle(const InstallContext& context, WCHAR* title);
// The dialog procedure; its creation parameter is the run's context.
INT_PTR CALLBACK logDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
