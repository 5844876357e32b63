// SPDX-License-Identifier: AGPL-3.0-or-later
// The window-system stand-in's readers on untrusted bytes: dialog
// templates, .res data, cursor and bitmap images, ELF section lookup, and a
// modal dialog built from a template and driven by scripted input.
//
// Input: one byte choosing the reader, then its bytes. For the dialog run,
// the byte after the selector gives the number of input actions that
// follow it (two bytes each); the rest is the dialog template.
#include "dialog_template.h"
#include "dib_decode.h"
#include "elf_sections.h"
#include "res_file.h"

#include <vxwin32/standin.h>
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>

namespace {

using Bytes = std::vector<uint8_t>;

void PutU16(Bytes &out, uint32_t v)
{
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void PutU32(Bytes &out, uint32_t v)
{
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// A .res file holding one dialog resource, number 1.
Bytes ResWithDialog(std::span<const uint8_t> dialog)
{
    Bytes out;
    const auto record = [&out](uint16_t type, std::span<const uint8_t> data) {
        PutU32(out, uint32_t(data.size()));
        PutU32(out, 32);  // header size
        PutU16(out, 0xFFFF), PutU16(out, type);
        PutU16(out, 0xFFFF), PutU16(out, type == 0 ? 0 : 1);
        PutU32(out, 0), PutU16(out, 0x1030), PutU16(out, type == 0 ? 0 : 1033);
        PutU32(out, 0), PutU32(out, 0);
        out.insert(out.end(), data.begin(), data.end());
        while (out.size() % 4 != 0)
            out.push_back(0);
    };
    record(0, {});
    record(5, dialog);
    return out;
}

std::deque<vxwin32::DialogAction> g_actions;

// Ends on OK, Cancel and the close box, as dialog procedures do, and on
// every click reads and changes the controls it was sent from.
INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return 1;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return 1;
    case WM_COMMAND: {
        const int id = int(wParam & 0xFFFF);
        if (id == IDOK || id == IDCANCEL) return EndDialog(dialog, id);
        if (IsDlgButtonChecked(dialog, id) == BST_CHECKED)
            CheckRadioButton(dialog, id, id + 3, id + 1);
        SetDlgItemTextA(dialog, id, "clicked");
        RECT r{};
        GetWindowRect(dialog, &r);
        SetWindowPos(dialog, nullptr, r.left + 1, r.top + 1, 0, 0, SWP_NOSIZE);
        return 1;
    }
    default:
        return 0;
    }
}

void RunDialog(std::span<const uint8_t> bytes)
{
    if (bytes.empty()) return;
    const size_t count = std::min<size_t>(bytes[0], (bytes.size() - 1) / 2);
    g_actions.clear();
    for (size_t i = 0; i < count; ++i) {
        const uint8_t kind = bytes[1 + 2 * i], control = bytes[2 + 2 * i];
        vxwin32::DialogAction a;
        a.kind = static_cast<vxwin32::DialogAction::Kind>(kind % 4);
        a.controlId =
            control < 0xF0 ? control : int(control) - 0x100;  // a few ids that name nothing
        g_actions.push_back(a);
    }
    HINSTANCE module = nullptr;
    try {
        module = vxwin32::RegisterResData(ResWithDialog(bytes.subspan(1 + 2 * count)));
    } catch (const vxwin32::Win32Error &) {
        return;
    }
    vxwin32::SetDialogInputSource(
        [](const vxwin32::DialogState &state) -> std::optional<vxwin32::DialogAction> {
            if (g_actions.empty()) return std::nullopt;
            vxwin32::DialogAction next = g_actions.front();
            g_actions.pop_front();
            // Clicks mostly land on controls the dialog has.
            if (next.kind == vxwin32::DialogAction::ClickControl && !state.controls.empty() &&
                next.controlId >= 0)
                next.controlId = state.controls[size_t(next.controlId) % state.controls.size()].id;
            return next;
        });
    DialogBoxParamA(module, MAKEINTRESOURCEA(1), nullptr, Procedure, 0);
    (void)vxwin32::TakeDialogInputError();
    vxwin32::SetDialogInputSource(nullptr);
    vxwin32::UnregisterModule(module);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    try {
        switch (data[0] % 6) {
        case 0:
            (void)vxwin32::detail::ParseDialogTemplate(bytes);
            break;
        case 1:
            (void)vxwin32::detail::ParseResFile(bytes);
            break;
        case 2:
            (void)vxwin32::detail::DecodeCursorDib(bytes);
            break;
        case 3:
            (void)vxwin32::detail::DecodeBitmapDib(bytes);
            break;
        case 4:
            (void)vxwin32::detail::FindElfSection(bytes, ".rsrc");
            break;
        case 5:
            RunDialog(bytes);
            break;
        }
    } catch (const vxwin32::Win32Error &) {
        // Malformed data is refused with an error: the reader's documented answer.
    }
    return 0;
}
