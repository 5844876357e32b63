// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/pages_dialog.h"

#include <cstdio>

#include "module/module_state.h"

namespace {

// Screen position that centres `inner` over `outer`; each extent is halved
// on its own, truncating, as the window system's integers do.
long long CentreOver(long long outerStart, long long outerEnd, long long innerStart,
                     long long innerEnd)
{
    return outerStart + (outerEnd - outerStart) / 2 - (innerEnd - innerStart) / 2;
}

void CentreOverMainWindow(HWND dialog)
{
    RECT hostRect = {};
    RECT dialogRect = {};
    GetWindowRect(hostMainWindow, &hostRect);
    GetWindowRect(dialog, &dialogRect);
    const long long x =
        CentreOver(hostRect.left, hostRect.right, dialogRect.left, dialogRect.right);
    const long long y =
        CentreOver(hostRect.top, hostRect.bottom, dialogRect.top, dialogRect.bottom);
    SetWindowPos(dialog, hostMainWindow, static_cast<int>(x), static_cast<int>(y), 0, 0,
                 SWP_NOSIZE);
}

// Labels are formatted into a bounded buffer: a page count of any size
// cannot overrun it.
void SetNumberLabel(HWND dialog, int control, const char *format, long number)
{
    char text[256];
    std::snprintf(text, sizeof text, format, number);
    SetDlgItemTextA(dialog, control, text);
}

void InitialiseDialog(HWND dialog)
{
    CentreOverMainWindow(dialog);

    const int32_t pageCount =
        host.model->PageCount(host.viewer->DocumentOf(host.viewer->GetActiveDocWindow()));
    SetNumberLabel(dialog, IDC_ALL_PAGES, "All Pages: (1-%ld)", static_cast<long>(pageCount));

    const int32_t pageIndex =
        host.viewer->PageNumberOf(host.viewer->PageViewOf(host.viewer->GetActiveDocWindow()));
    // Page numbers count from 1; widened first so the largest index cannot overflow.
    SetNumberLabel(dialog, IDC_CURRENT_PAGE, "Current Page: (%ld)",
                   static_cast<long>(static_cast<long long>(pageIndex) + 1));

    CheckRadioButton(dialog, IDC_CURRENT_PAGE, IDC_EVEN_PAGES, IDC_CURRENT_PAGE);
}

// The checked choice; the radio group always has one, and with none the
// dialog crops nothing.
PageChoice CheckedChoice(HWND dialog)
{
    const int buttons[] = {IDC_CURRENT_PAGE, IDC_ALL_PAGES, IDC_ODD_PAGES, IDC_EVEN_PAGES};
    const PageChoice choices[] = {PageChoice::Current, PageChoice::All, PageChoice::Odd,
                                  PageChoice::Even};
    for (int i = 0; i < 4; ++i) {
        if (IsDlgButtonChecked(dialog, buttons[i]) != 0) {
            return choices[i];
        }
    }
    return PageChoice::Cancel;
}

}  // namespace

INT_PTR CALLBACK PagesToCropDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitialiseDialog(dialog);
        return 1;  // the dialog manager sets the focus
    case WM_COMMAND:
        if (wParam == IDOK) {
            EndDialog(dialog, static_cast<INT_PTR>(CheckedChoice(dialog)));
            return 1;
        }
        if (wParam == IDCANCEL) {
            EndDialog(dialog, static_cast<INT_PTR>(PageChoice::Cancel));
            return 1;
        }
        return 0;  // radio buttons only move the check mark
    case WM_CLOSE:
        // Dismissing the dialog by its close box must not crop anything.
        EndDialog(dialog, static_cast<INT_PTR>(PageChoice::Cancel));
        return 1;
    default:
        return 0;
    }
}

PageChoice AskPagesToCrop()
{
    return static_cast<PageChoice>(DialogBoxParamA(moduleInstance,
                                                   MAKEINTRESOURCEA(IDD_PAGES_TO_CROP),
                                                   hostMainWindow, PagesToCropDialogProc, 0));
}
