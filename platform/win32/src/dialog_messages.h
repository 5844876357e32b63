// SPDX-License-Identifier: AGPL-3.0-or-later
// Messages to a dialog's procedure, and what user input does to a dialog.
#pragma once

#include <vxwin32/standin.h>

namespace vxwin32::detail {

// Calls the dialog's procedure; 0 for a dialog that no longer exists.
INT_PTR SendDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// WM_COMMAND as a button click sends it: the id with BN_CLICKED, and the
// control's handle (0 when the dialog has no control with that id).
void SendCommand(HWND dialog, int id);

// Does what the platform does for the user's click or key.
void ApplyDialogAction(HWND dialog, const DialogAction& action);

}  // namespace vxwin32::detail
