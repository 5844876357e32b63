// SPDX-License-Identifier: AGPL-3.0-or-later
// How a queued answer drives a modal dialog: the text of a radio button up
// to its colon checks it and presses OK; "OK" and "Cancel" press those
// buttons; "escape" presses Escape; "close" uses the close box.
#pragma once

#include <vxwin32/standin.h>

#include <string>
#include <vector>

namespace vellora {

// The actions for the answer, in order; empty when it fits no control.
std::vector<vxwin32::DialogAction> DialogActionsFor(const vxwin32::DialogState& dialog, const std::string& answer);

// The dialog's text for messages: its title and its controls' texts.
std::string DescribeDialog(const vxwin32::DialogState& dialog);

}  // namespace vellora
