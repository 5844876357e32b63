// SPDX-License-Identifier: AGPL-3.0-or-later
// Modal dialogs from resource templates. The stand-in has no screen and no
// keyboard: the host's input source answers each time the dialog waits, and
// every answer is applied as the platform would apply the user's action.
#include "button_styles.h"
#include "dialog_layout.h"
#include "dialog_messages.h"
#include "dialog_session.h"
#include "dialog_template.h"
#include "module_registry.h"
#include "window_registry.h"

#include <vxwin32/standin.h>

namespace vxwin32 {
namespace {

using detail::Window;

// A dialog whose procedure never ends it, fed by a source that never runs
// dry, must not hang the host.
constexpr int kMaxInputSteps = 1000;

DialogState Snapshot(HWND handle) {
    DialogState state;
    const Window* dialog = detail::FindDialog(handle);
    if (!dialog) return state;
    state.window = handle;
    state.title = dialog->text;
    state.style = dialog->style;
    state.windowRect = dialog->rect;
    for (HWND controlHandle : dialog->controls) {
        const Window* control = detail::FindWindow(controlHandle);
        if (!control) continue;
        state.controls.push_back(ControlState{control->id, control->className, control->text, control->style,
                                              control->rect, control->checked, detail::IsRadioButton(*control),
                                              controlHandle});
    }
    return state;
}

void Notify(HWND dialog, const char* event) {
    if (detail::Session().observer) detail::NotifyObserver(Snapshot(dialog), event);
}

std::optional<DialogAction> NextAction(HWND dialog) {
    if (!detail::Session().source) return std::nullopt;
    return detail::AskInputSource(Snapshot(dialog));
}

bool Ended(HWND dialog) {
    const Window* window = detail::FindDialog(dialog);
    return !window || window->ended;
}

// Removes the dialog and its controls however the run ends.
class DialogWindows {
public:
    explicit DialogWindows(HWND dialog) : dialog_(dialog) {}
    DialogWindows(const DialogWindows&) = delete;
    DialogWindows& operator=(const DialogWindows&) = delete;
    ~DialogWindows() {
        if (const Window* window = detail::FindDialog(dialog_))
            for (HWND control : window->controls) detail::RemoveWindow(control);
        detail::RemoveWindow(dialog_);
    }

private:
    HWND dialog_;
};

HWND CreateDialogWindows(const detail::DialogTemplate& tmpl, const RECT* owner, DLGPROC proc) {
    const detail::BaseUnits units = detail::DialogBaseUnits(tmpl);
    const detail::FrameSizes frame = detail::NonClientFrame(tmpl.style);
    Window dialog;
    dialog.kind = Window::Kind::Dialog;
    dialog.text = tmpl.title;
    dialog.style = tmpl.style;
    dialog.proc = proc;
    dialog.clientLeft = frame.left;
    dialog.clientTop = frame.top;
    // Placed at the template's position from the owner's corner; the
    // procedure usually moves it.
    const RECT client = detail::DialogUnitsToScreen(units, owner ? owner->left : 0, owner ? owner->top : 0, tmpl.x,
                                                    tmpl.y, tmpl.cx, tmpl.cy);
    const LONG width = detail::AddClamped(detail::Difference(client.right, client.left), frame.left + frame.right);
    const LONG height = detail::AddClamped(detail::Difference(client.bottom, client.top), frame.top + frame.bottom);
    dialog.rect =
        RECT{client.left, client.top, detail::AddClamped(client.left, width), detail::AddClamped(client.top, height)};
    const HWND handle = detail::AddWindow(std::move(dialog));

    const int64_t originX = detail::AddClamped(client.left, frame.left);
    const int64_t originY = detail::AddClamped(client.top, frame.top);
    for (const detail::ControlTemplate& item : tmpl.controls) {
        Window control;
        control.kind = Window::Kind::Control;
        control.text = item.text;
        control.className = item.className;
        control.style = item.style;
        control.id = item.id;
        control.parent = handle;
        control.rect = detail::DialogUnitsToScreen(units, originX, originY, item.x, item.y, item.cx, item.cy);
        const HWND controlHandle = detail::AddWindow(std::move(control));
        detail::FindDialog(handle)->controls.push_back(controlHandle);
    }
    return handle;
}

// The control that gets the focus first: the first visible, enabled tab stop.
HWND FirstTabStop(HWND dialog) {
    for (HWND handle : detail::FindDialog(dialog)->controls) {
        const Window* control = detail::FindWindow(handle);
        if (control && (control->style & detail::kWsTabStop) && (control->style & detail::kWsVisible) &&
            !(control->style & detail::kWsDisabled))
            return handle;
    }
    return nullptr;
}

void RunModalLoop(HWND dialog) {
    for (int step = 0; step < kMaxInputSteps && !Ended(dialog); ++step) {
        const auto action = NextAction(dialog);
        if (!action) {
            Notify(dialog, "input-exhausted");
            detail::ApplyDialogAction(dialog, DialogAction{DialogAction::PressEscape, 0});
            break;
        }
        detail::ApplyDialogAction(dialog, *action);
    }
    if (!Ended(dialog)) EndDialog(dialog, -1);
}

INT_PTR RunDialog(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM initParam) {
    if (!proc || !name) return -1;
    const auto* bytes = detail::FindResourceData(instance, detail::kRtDialog, detail::ResourceIdFromArgument(name));
    if (!bytes) return -1;
    const auto tmpl = detail::ParseDialogTemplate(*bytes);
    if (!tmpl) return -1;
    const Window* owner = parent ? detail::FindWindow(parent) : nullptr;
    if (parent && !owner) return -1;

    const HWND dialog = CreateDialogWindows(*tmpl, owner ? &owner->rect : nullptr, proc);
    DialogWindows cleanup(dialog);
    detail::SendDialogMessage(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(FirstTabStop(dialog)), initParam);
    // EndDialog during WM_INITDIALOG: the dialog is never shown.
    if (!Ended(dialog)) {
        Notify(dialog, "shown");
        RunModalLoop(dialog);
    }
    Notify(dialog, "ending");
    detail::Session().last = Snapshot(dialog);
    return detail::FindDialog(dialog)->result;
}

}  // namespace

namespace detail {

INT_PTR SendDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    const Window* window = FindDialog(dialog);
    if (!window || !window->proc) return 0;
    const DLGPROC proc = window->proc;  // the call may add windows
    return proc(dialog, message, wParam, lParam);
}

}  // namespace detail
}  // namespace vxwin32

extern "C" INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                                          DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    try {
        return vxwin32::RunDialog(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam);
    } catch (...) {
        return -1;  // out of memory: fail as the platform does, never unwind into the caller
    }
}

extern "C" BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
    vxwin32::detail::Window* dialog = vxwin32::detail::FindDialog(hDlg);
    if (!dialog) return FALSE;
    dialog->ended = true;
    dialog->result = nResult;
    return TRUE;
}
