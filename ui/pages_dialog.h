// SPDX-License-Identifier: AGPL-3.0-or-later
// The Pages To Crop dialog, the module's one window.
#pragma once

#include <windows.h>

#include "module/resource_ids.h"
#include "ui/page_choice.h"

// Shows the dialog modally over the host's main window and gives what the
// dialog manager returns: a PageChoice, or 0 or -1 when it could not open.
PageChoice AskPagesToCrop();

INT_PTR CALLBACK PagesToCropDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
