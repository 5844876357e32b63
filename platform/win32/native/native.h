// SPDX-License-Identifier: AGPL-3.0-or-later
// Shared by the parts of the host's side on the real window system.
#pragma once

#include <vxwin32/standin.h>
#include <vxwin32/wide_text.h>

#include <string>
#include <vector>

namespace vxwin32::native {

// The text of a window, as UTF-8.
std::string WindowText(HWND window);

// Module instances registered by the host, oldest first.
const std::vector<HINSTANCE>& RegisteredModules();

// Keeps the last state of each dialog of this thread as it goes.
void WatchDialogsOfThisThread();

// Called by the main window's procedure while a modal dialog it owns waits
// for input (WM_ENTERIDLE): one step of the host's input.
void DriveDialog(HWND dialog);

}  // namespace vxwin32::native
