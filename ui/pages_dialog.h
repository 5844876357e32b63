// The Pages To Crop dialog, the module's one window.
#pragma once

#include <windows.h>

#include "ui/page_choice.h"

// Shows the dialog modally over the host's main window and gives what the
// dialog manager returns: a PageChoice, or 0 or -1 when it could not open.
PageChoice AskPagesToCrop();

INT_PTR CALLBACK PagesToCropDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Dialog template and control ids of the module's resources.
constexpr int kPagesToCropDialogId = 117;
constexpr int kCurrentPageButton = 1019;
constexpr int kAllPagesButton = 1020;
constexpr int kOddPagesButton = 1021;
constexpr int kEvenPagesButton = 1022;
