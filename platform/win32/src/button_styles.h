// SPDX-License-Identifier: AGPL-3.0-or-later
// What a control's class and style make of it as a button.
#pragma once

#include "window_registry.h"

namespace vxwin32::detail {

enum ButtonKind : uint32_t {
    kPushButton = 0,
    kDefPushButton = 1,
    kCheckBox = 2,
    kAutoCheckBox = 3,
    kRadioButton = 4,
    k3State = 5,
    kAuto3State = 6,
    kGroupBox = 7,
    kAutoRadioButton = 9,
};

inline bool IsButton(const Window& control) { return control.className == "BUTTON"; }
inline uint32_t ButtonKindOf(const Window& control) { return control.style & 0xF; }

inline bool IsRadioButton(const Window& control) {
    return IsButton(control) && (ButtonKindOf(control) == kRadioButton || ButtonKindOf(control) == kAutoRadioButton);
}

// Buttons that hold a check state (check boxes and radio buttons).
inline bool IsCheckable(const Window& control) {
    if (!IsButton(control)) return false;
    switch (ButtonKindOf(control)) {
    case kCheckBox:
    case kAutoCheckBox:
    case kRadioButton:
    case k3State:
    case kAuto3State:
    case kAutoRadioButton:
        return true;
    default:
        return false;
    }
}

}  // namespace vxwin32::detail
