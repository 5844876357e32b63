// SPDX-License-Identifier: AGPL-3.0-or-later
// Prints what the window system makes of the module's resources: the Pages
// To Crop dialog laid out from its template (window size, each control's
// place in the window, its text and check state, what Escape, the close
// box and OK give), and the module's cursors and bitmaps as the module
// loads them. Built against the stand-in and against the real system, its
// two outputs are compared with the figures each must give
// (tests/windows/*_figures.txt).
#include "module/resource_ids.h"

#include <vxwin32/standin.h>

#include "window_program.h"

#include <cstdio>
#include <string>

namespace {

INT_PTR CALLBACK EndOnCommand(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (wParam == IDOK || wParam == IDCANCEL)) {
        EndDialog(dialog, INT_PTR(wParam));
        return TRUE;
    }
    if (message == WM_CLOSE) {
        EndDialog(dialog, 100);
        return TRUE;
    }
    return FALSE;
}

// Shows the dialog and gives it one action; its result.
INT_PTR RunWith(HINSTANCE module, HWND owner, vxwin32::DialogAction action) {
    // Where a run stood, should a dialog never end under a slow display.
    std::fprintf(stderr, "window_figures: action %d, control %d\n", int(action.kind), action.controlId);
    bool given = false;
    vxwin32::SetDialogInputSource([&](const vxwin32::DialogState&) -> std::optional<vxwin32::DialogAction> {
        if (given) return std::nullopt;
        given = true;
        return action;
    });
    const INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_PAGES_TO_CROP), owner, EndOnCommand, 0);
    vxwin32::SetDialogInputSource(nullptr);
    return result;
}

void PrintDialog(HINSTANCE module, HWND owner) {
    using vxwin32::DialogAction;
    std::printf("escape -> %d\n", int(RunWith(module, owner, DialogAction{DialogAction::PressEscape, 0})));
    std::printf("close -> %d\n", int(RunWith(module, owner, DialogAction{DialogAction::CloseBox, 0})));
    std::printf("OK -> %d\n", int(RunWith(module, owner, DialogAction{DialogAction::ClickControl, IDOK})));
    RunWith(module, owner, DialogAction{DialogAction::ClickControl, IDC_ODD_PAGES});
    const auto dialog = vxwin32::LastDialog();
    if (!dialog) {
        std::printf("no dialog\n");
        return;
    }
    const RECT& w = dialog->windowRect;
    std::printf("dialog \"%s\" %ld x %ld\n", dialog->title.c_str(), w.right - w.left, w.bottom - w.top);
    for (const vxwin32::ControlState& c : dialog->controls)
        std::printf("control %d \"%s\" %s at %ld %ld size %ld x %ld%s\n", c.id, c.text.c_str(), c.className.c_str(),
                    c.rect.left - w.left, c.rect.top - w.top, c.rect.right - c.rect.left, c.rect.bottom - c.rect.top,
                    c.checked ? " checked" : "");
}

void PrintCursor(HINSTANCE module, int id) {
    const auto info = vxwin32::DescribeCursor(LoadCursorA(module, MAKEINTRESOURCEA(id)));
    if (!info) {
        std::printf("cursor %d missing\n", id);
        return;
    }
    int opaque = 0;
    for (uint32_t p : info->image.rgba) opaque += (p >> 24) != 0;
    std::printf("cursor %d: resource %d, %d x %d, hot spot %d %d, %d pixels drawn\n", id, info->resourceId,
                info->image.width, info->image.height, info->hotX, info->hotY, opaque);
}

void PrintBitmap(HINSTANCE module, int id) {
    const auto info = vxwin32::DescribeBitmap(LoadBitmapA(module, MAKEINTRESOURCEA(id)));
    if (!info) {
        std::printf("bitmap %d missing\n", id);
        return;
    }
    int black = 0;
    for (uint32_t p : info->image.rgba) black += (p & 0xFFFFFFu) == 0;
    std::printf("bitmap %d: resource %d, %d x %d, %d bits a pixel, %d black pixels\n", id, info->resourceId,
                info->image.width, info->image.height, info->bitsPerPixel, black);
}

}  // namespace

int main(int argc, char** argv) {
    return RunWindowProgram(argc, argv, "window_figures", [](HINSTANCE module, HWND owner) {
        PrintDialog(module, owner);
        PrintCursor(module, IDCUR_CROP);
        PrintCursor(module, IDCUR_SCISSORS);
        PrintBitmap(module, IDB_TOOLBAR);
        PrintBitmap(module, IDB_MENU);
    });
}
