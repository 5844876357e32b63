// SPDX-License-Identifier: AGPL-3.0-or-later
// The calls a dialog procedure makes on its controls.
#include "button_styles.h"
#include "window_registry.h"

#include <algorithm>

using namespace vxwin32::detail;

extern "C" BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
    Window* control = FindDialogItem(hDlg, nIDDlgItem);
    if (!control) return FALSE;
    control->text = lpString ? lpString : "";
    return TRUE;
}

extern "C" BOOL WINAPI CheckRadioButton(HWND hDlg, int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
    const Window* dialog = FindDialog(hDlg);
    if (!dialog) return FALSE;
    const int first = std::min(nIDFirstButton, nIDLastButton);
    const int last = std::max(nIDFirstButton, nIDLastButton);
    for (HWND handle : dialog->controls) {
        Window* control = FindWindow(handle);
        if (control && control->id >= first && control->id <= last && IsCheckable(*control))
            control->checked = control->id == nIDCheckButton;
    }
    return TRUE;
}

extern "C" UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    const Window* control = FindDialogItem(hDlg, nIDButton);
    return control && IsCheckable(*control) && control->checked ? BST_CHECKED : BST_UNCHECKED;
}
