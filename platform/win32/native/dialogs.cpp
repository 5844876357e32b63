// SPDX-License-Identifier: AGPL-3.0-or-later
// The module's modal dialogs on the real dialog manager. The dialog's own
// modal loop runs them; each time it waits for input it tells the owner
// (WM_ENTERIDLE), and the main window asks the host's input source for one
// action, which is done as the user would do it: a radio button or push
// button clicked (BM_CLICK), Escape or Enter pressed (WM_KEYDOWN, which the
// loop's IsDialogMessage turns into the dialog's command), the close box
// (WM_SYSCOMMAND SC_CLOSE). A thread hook sees the dialog go, to keep its
// last state.
#include "native.h"

#include "dialog_session.h"

#include <cctype>

namespace vxwin32 {
namespace {

// A dialog whose procedure never ends it, fed by a source that never runs
// dry, must not hang the host.
constexpr int kMaxInputSteps = 1000;

// The dialog being answered.
struct Answering {
    HWND dialog = nullptr;
    int steps = 0;
    bool exhausted = false;
    HHOOK hook = nullptr;
};

Answering& Current() {
    static Answering answering;
    return answering;
}

std::string ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, int(sizeof name / sizeof name[0]));
    std::string text = Utf8(name);
    // Class names are compared without case; the host speaks of "BUTTON".
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsDialogWindow(HWND window) { return ClassOf(window) == "#32770"; }

bool IsRadioStyle(uint32_t style) {
    const uint32_t kind = style & BS_TYPEMASK;
    return kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON;
}

BOOL CALLBACK AddControl(HWND control, LPARAM state) {
    auto& dialog = *reinterpret_cast<DialogState*>(state);
    if (GetParent(control) != dialog.window) return TRUE;
    ControlState c;
    c.id = GetDlgCtrlID(control);
    c.className = ClassOf(control);
    c.text = native::WindowText(control);
    c.style = uint32_t(GetWindowLongW(control, GWL_STYLE));
    GetWindowRect(control, &c.rect);
    c.isRadio = c.className == "BUTTON" && IsRadioStyle(c.style);
    c.checked = c.className == "BUTTON" && SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
    c.window = control;
    dialog.controls.push_back(c);
    return TRUE;
}

DialogState Snapshot(HWND dialog) {
    DialogState state;
    state.window = dialog;
    state.title = native::WindowText(dialog);
    state.style = uint32_t(GetWindowLongW(dialog, GWL_STYLE));
    GetWindowRect(dialog, &state.windowRect);
    // Children come in creation order, the template's.
    EnumChildWindows(dialog, AddControl, reinterpret_cast<LPARAM>(&state));
    return state;
}

// A key as the keyboard gives it, to the control that has the focus: the
// dialog's loop hands it to IsDialogMessage.
void PressKey(HWND dialog, WPARAM key) {
    HWND focus = GetFocus();
    HWND target = focus != nullptr && IsChild(dialog, focus) ? focus : dialog;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, LPARAM(0xC0000001u));
}

void Apply(HWND dialog, const DialogAction& action) {
    switch (action.kind) {
    case DialogAction::ClickControl:
        if (HWND control = GetDlgItem(dialog, action.controlId))
            if (IsWindowVisible(control) && IsWindowEnabled(control)) SendMessageW(control, BM_CLICK, 0, 0);
        break;
    case DialogAction::PressEscape:
        PressKey(dialog, VK_ESCAPE);
        break;
    case DialogAction::PressEnter:
        PressKey(dialog, VK_RETURN);
        break;
    case DialogAction::CloseBox:
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
    // The loop waits for a message before it is idle again.
    PostMessageW(dialog, WM_NULL, 0, 0);
}

// The dialog's last state, as it goes.
LRESULT CALLBACK WatchDialogs(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_DESTROYWND) {
        HWND window = reinterpret_cast<HWND>(wParam);
        if (IsDialogWindow(window)) {
            DialogState state = Snapshot(window);
            detail::NotifyObserver(state, "ending");
            detail::Session().last = std::move(state);
            if (window == Current().dialog) Current().dialog = nullptr;
        }
    }
    return CallNextHookEx(Current().hook, code, wParam, lParam);
}

}  // namespace

namespace native {

void WatchDialogsOfThisThread() {
    Answering& a = Current();
    if (a.hook == nullptr) a.hook = SetWindowsHookExW(WH_CBT, WatchDialogs, nullptr, GetCurrentThreadId());
}

void DriveDialog(HWND dialog) {
    Answering& a = Current();
    if (dialog != a.dialog) {
        a.dialog = dialog;
        a.steps = 0;
        a.exhausted = false;
        detail::NotifyObserver(Snapshot(dialog), "shown");
    }
    // Input ran out and Escape did not end it, or it never ends.
    if (a.exhausted || ++a.steps > kMaxInputSteps) {
        EndDialog(dialog, -1);
        PostMessageW(dialog, WM_NULL, 0, 0);
        return;
    }
    std::optional<DialogAction> action = detail::AskInputSource(Snapshot(dialog));
    if (!action) {
        a.exhausted = true;
        detail::NotifyObserver(Snapshot(dialog), "input-exhausted");
        action = DialogAction{DialogAction::PressEscape, 0};
    }
    Apply(dialog, *action);
}

}  // namespace native

}  // namespace vxwin32
