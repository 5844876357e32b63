// SPDX-License-Identifier: AGPL-3.0-or-later
#include "button_styles.h"
#include "dialog_messages.h"
#include "window_registry.h"

namespace vxwin32::detail {
namespace {

constexpr WPARAM kBnClicked = 0;

// Checks the clicked radio button and clears the others of its group: from
// the nearest WS_GROUP control at or before it to the next WS_GROUP one.
void CheckInGroup(HWND dialog, HWND clicked) {
    const Window* owner = FindDialog(dialog);
    if (!owner) return;
    const std::vector<HWND>& controls = owner->controls;
    size_t index = 0;
    while (index < controls.size() && controls[index] != clicked) ++index;
    if (index == controls.size()) return;
    auto startsGroup = [&controls](size_t i) {
        const Window* control = FindWindow(controls[i]);
        return control && (control->style & kWsGroup);
    };
    size_t first = index;
    while (first > 0 && !startsGroup(first)) --first;
    size_t end = index + 1;
    while (end < controls.size() && !startsGroup(end)) ++end;
    for (size_t i = first; i < end; ++i)
        if (Window* control = FindWindow(controls[i]); control && IsRadioButton(*control))
            control->checked = i == index;
}

void ClickControl(HWND dialog, int id) {
    const HWND handle = DialogItemHandle(dialog, id);
    Window* control = FindWindow(handle);
    // Only a visible, enabled button reacts to the mouse.
    if (!control || !IsButton(*control) || !(control->style & kWsVisible) || (control->style & kWsDisabled)) return;
    switch (ButtonKindOf(*control)) {
    case kAutoRadioButton:
        CheckInGroup(dialog, handle);
        break;
    case kAutoCheckBox:
        control->checked = !control->checked;
        break;
    case kGroupBox:
        return;  // a frame, not a button
    default:
        break;
    }
    SendCommand(dialog, id);
}

// Enter presses the default push button, or OK when there is none.
int DefaultButtonId(HWND dialog) {
    const Window* owner = FindDialog(dialog);
    if (owner)
        for (HWND handle : owner->controls)
            if (const Window* control = FindWindow(handle);
                control && IsButton(*control) && ButtonKindOf(*control) == kDefPushButton)
                return control->id;
    return IDOK;
}

}  // namespace

void SendCommand(HWND dialog, int id) {
    const WPARAM wParam = (kBnClicked << 16) | static_cast<uint16_t>(id);
    SendDialogMessage(dialog, WM_COMMAND, wParam, reinterpret_cast<LPARAM>(DialogItemHandle(dialog, id)));
}

void ApplyDialogAction(HWND dialog, const DialogAction& action) {
    switch (action.kind) {
    case DialogAction::ClickControl:
        ClickControl(dialog, action.controlId);
        break;
    case DialogAction::PressEscape:
        SendCommand(dialog, IDCANCEL);
        break;
    case DialogAction::PressEnter:
        SendCommand(dialog, DefaultButtonId(dialog));
        break;
    case DialogAction::CloseBox:
        // What the default dialog procedure does with an unhandled close.
        if (SendDialogMessage(dialog, WM_CLOSE, 0, 0) == 0) SendCommand(dialog, IDCANCEL);
        break;
    }
}

}  // namespace vxwin32::detail
