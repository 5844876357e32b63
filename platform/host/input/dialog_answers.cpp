// SPDX-License-Identifier: AGPL-3.0-or-later
#include "input/dialog_answers.h"

namespace vellora {

namespace {

constexpr int kIdOk = 1;

// A control's label as the user reads it: up to its colon, without the
// '&' that marks a keyboard shortcut.
std::string Label(const std::string& text) {
    std::string label;
    for (char c : text) {
        if (c == ':') break;
        if (c != '&') label += c;
    }
    return label;
}

vxwin32::DialogAction Click(int id) { return vxwin32::DialogAction{vxwin32::DialogAction::ClickControl, id}; }

}  // namespace

std::vector<vxwin32::DialogAction> DialogActionsFor(const vxwin32::DialogState& dialog, const std::string& answer) {
    using vxwin32::DialogAction;
    if (answer == "escape") return {DialogAction{DialogAction::PressEscape, 0}};
    if (answer == "close") return {DialogAction{DialogAction::CloseBox, 0}};
    for (const vxwin32::ControlState& c : dialog.controls) {
        if (Label(c.text) != answer) continue;
        if (c.isRadio) return {Click(c.id), Click(kIdOk)};
        if (c.className == "BUTTON") return {Click(c.id)};
    }
    return {};
}

std::string DescribeDialog(const vxwin32::DialogState& dialog) {
    std::string text = "\"" + dialog.title + "\" (";
    bool first = true;
    for (const vxwin32::ControlState& c : dialog.controls) {
        if (c.className != "BUTTON") continue;
        text += (first ? "" : ", ") + std::string("\"") + c.text + "\"";
        first = false;
    }
    return text + ")";
}

}  // namespace vellora
