// SPDX-License-Identifier: AGPL-3.0-or-later
// The stand-in's windows: the host's top-level windows, dialogs and their
// controls, all with screen rectangles. Dialogs and controls exist while
// their modal run lasts; their handles are never reused afterwards.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vxwin32::detail {

constexpr uint32_t kWsTabStop = 0x00010000;
constexpr uint32_t kWsGroup = 0x00020000;
constexpr uint32_t kWsDisabled = 0x08000000;
constexpr uint32_t kWsVisible = 0x10000000;

struct Window {
    enum class Kind { TopLevel, Dialog, Control } kind = Kind::TopLevel;
    std::string text;       // title or control text (narrow, UTF-8)
    std::string className;  // controls
    uint32_t style = 0;
    RECT rect{};            // screen pixels, frame included
    int id = 0;             // controls
    bool checked = false;   // buttons
    HWND parent = nullptr;  // a control's dialog

    // Dialogs: the client area's offset inside `rect`, the procedure, the
    // controls in template order, and how the modal run ended.
    LONG clientLeft = 0;
    LONG clientTop = 0;
    DLGPROC proc = nullptr;
    std::vector<HWND> controls;
    bool ended = false;
    INT_PTR result = 0;
};

HWND AddWindow(Window window);
void RemoveWindow(HWND handle);
Window* FindWindow(HWND handle);
Window* FindDialog(HWND handle);
// The control with that id in a dialog, or nullptr.
Window* FindDialogItem(HWND dialog, int id);
HWND DialogItemHandle(HWND dialog, int id);

// Screen arithmetic that saturates instead of overflowing LONG.
LONG AddClamped(int64_t a, int64_t b);
int64_t Difference(int64_t a, int64_t b);
RECT MovedRect(const RECT& rect, int64_t dx, int64_t dy);

}  // namespace vxwin32::detail
