// SPDX-License-Identifier: AGPL-3.0-or-later
// The rules of a modal dialog's input that the host relies on, run on the
// module's Pages To Crop template: what the observer sees, what a dialog
// ends with when input runs out, when its procedure never ends it, when it
// ends itself at once, and when the input source fails. The stand-in and
// the real dialog manager must print the same (tests/windows/dialog_rules.txt).
#include "module/resource_ids.h"

#include <vxwin32/standin.h>

#include "window_program.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using vxwin32::DialogAction;

enum class Procedure { EndsOnCommand, NeverEnds, EndsAtOnce };
Procedure g_procedure = Procedure::EndsOnCommand;
std::vector<int> g_commands;  // the WM_COMMAND ids the procedure saw

// "1022*1000,2": each id with the number of times in a row it came.
std::string Runs(const std::vector<int>& ids) {
    std::string text;
    for (size_t i = 0; i < ids.size();) {
        size_t j = i;
        while (j < ids.size() && ids[j] == ids[i]) ++j;
        text += (text.empty() ? "" : ",") + std::to_string(ids[i]) + (j - i > 1 ? "*" + std::to_string(j - i) : "");
        i = j;
    }
    return text;
}

INT_PTR CALLBACK TestProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        if (g_procedure == Procedure::EndsAtOnce) EndDialog(dialog, 7);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        g_commands.push_back(int(wParam & 0xFFFF));
        if (g_procedure == Procedure::EndsOnCommand && (wParam == IDOK || wParam == IDCANCEL)) {
            EndDialog(dialog, INT_PTR(wParam));
            return TRUE;
        }
    }
    return FALSE;
}

// Runs the dialog with `source` and prints the procedure's commands, the
// observer's events, the result and whether the source's failure came back.
void Case(const char* name, HINSTANCE module, HWND owner, Procedure procedure, vxwin32::DialogInputSource source) {
    // Where a run stood, should a dialog never end under a slow display.
    std::fprintf(stderr, "dialog_rules: %s\n", name);
    g_procedure = procedure;
    g_commands.clear();
    std::string events;
    vxwin32::SetDialogObserver([&](const vxwin32::DialogState&, const char* event) {
        events += (events.empty() ? "" : ",") + std::string(event);
    });
    vxwin32::SetDialogInputSource(std::move(source));
    const INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_PAGES_TO_CROP), owner, TestProc, 0);
    vxwin32::SetDialogInputSource(nullptr);
    vxwin32::SetDialogObserver(nullptr);
    const bool failed = vxwin32::TakeDialogInputError() != nullptr;
    std::printf("%s: result %d, commands [%s], events [%s]%s\n", name, int(result), Runs(g_commands).c_str(),
                events.c_str(), failed ? ", source failed" : "");
}

// A source giving `actions` in turn, then nothing.
vxwin32::DialogInputSource Giving(std::vector<DialogAction> actions) {
    auto next = std::make_shared<size_t>(0);
    return [actions, next](const vxwin32::DialogState&) -> std::optional<DialogAction> {
        if (*next >= actions.size()) return std::nullopt;
        return actions[(*next)++];
    };
}

}  // namespace

int main(int argc, char** argv) {
    return RunWindowProgram(argc, argv, "dialog_rules", [](HINSTANCE module, HWND owner) {
        const DialogAction click{DialogAction::ClickControl, IDC_EVEN_PAGES};
        Case("enter", module, owner, Procedure::EndsOnCommand, Giving({{DialogAction::PressEnter, 0}}));
        Case("radio then cancel", module, owner, Procedure::EndsOnCommand,
             Giving({click, {DialogAction::ClickControl, IDCANCEL}}));
        Case("input runs out", module, owner, Procedure::EndsOnCommand, Giving({}));
        Case("input runs out, never ends", module, owner, Procedure::NeverEnds, Giving({}));
        Case("ends in WM_INITDIALOG", module, owner, Procedure::EndsAtOnce, Giving({}));
        Case("source fails", module, owner, Procedure::EndsOnCommand,
             [](const vxwin32::DialogState&) -> std::optional<DialogAction> {
                 throw std::runtime_error("no more input");
             });
        Case("endless input", module, owner, Procedure::NeverEnds,
             [click](const vxwin32::DialogState&) -> std::optional<DialogAction> { return click; });
    });
}
