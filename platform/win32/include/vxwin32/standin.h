// SPDX-License-Identifier: AGPL-3.0-or-later
// The host's side of the window-system stand-in.
//
// The module sees only <windows.h>. The host uses this header to give the
// stand-in what a real window system would have: the host's main window,
// the module instances whose resources the module loads, and a source of
// user input for modal dialogs. It also lets the host and the tests look at
// what the module made: dialogs, cursors and bitmaps.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vxwin32 {

// Raised by the functions of this header (never by the <windows.h> ones,
// which report failure the platform's way).
class Win32Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// ---- Windows -------------------------------------------------------------

// Makes a top-level window with the given screen rectangle; lives for the
// process. The host passes it to the module as its main window.
HWND CreateTopLevelWindow(const std::string& title, const RECT& screenRect);
void MoveTopLevelWindow(HWND window, const RECT& screenRect);

// ---- Module resources ----------------------------------------------------

// A module instance whose resources come from the compiled resource data
// (the standard .res format) carried in the ELF section ".rsrc" of the file
// at `path`. Throws Win32Error naming the file when the file cannot be read
// or its resource data is malformed; a file without the section gives an
// instance with no resources.
HINSTANCE RegisterModuleFile(const std::string& path);

// A module instance from a .res file (tests).
HINSTANCE RegisterResFile(const std::string& path);

// A module instance from .res data in memory; throws Win32Error when it is
// malformed. UnregisterModule forgets such an instance and its resources.
HINSTANCE RegisterResData(const std::vector<uint8_t>& bytes);
void UnregisterModule(HINSTANCE module);

// Raw bytes of a resource: type and name as numbers, language 1033 preferred.
std::optional<std::vector<uint8_t>> FindResource(HINSTANCE module, uint16_t type, uint16_t name);

// ---- Dialogs -------------------------------------------------------------

struct ControlState {
    int id = 0;
    std::string className;  // "BUTTON", "STATIC", ...
    std::string text;
    uint32_t style = 0;
    RECT rect{};  // screen pixels
    bool checked = false;
    bool isRadio = false;
    HWND window = nullptr;  // the control's own handle
};

struct DialogState {
    HWND window = nullptr;
    std::string title;
    uint32_t style = 0;
    RECT windowRect{};  // screen pixels, frame included
    std::vector<ControlState> controls;
};

// One step of the user's input to a modal dialog.
struct DialogAction {
    enum Kind { ClickControl, PressEscape, PressEnter, CloseBox } kind = ClickControl;
    int controlId = 0;  // for ClickControl
};

// Asked for the next action each time a modal dialog waits for input.
// Returning nullopt means the input ran out: the stand-in then ends the
// dialog as Escape would, and reports InputExhausted to the host.
// (That report is the observer's event "input-exhausted". Should the
// procedure still not end the dialog, it ends with -1; so does a dialog
// still open after 1000 actions.)
using DialogInputSource = std::function<std::optional<DialogAction>(const DialogState&)>;
void SetDialogInputSource(DialogInputSource source);

// Called after a dialog is shown and before it ends (for traces and tests).
// Events: "shown" (after WM_INITDIALOG; not when the procedure ended the
// dialog there), "input-exhausted", "ending" (always, last).
using DialogObserver = std::function<void(const DialogState&, const char* event)>;
void SetDialogObserver(DialogObserver observer);

// The input source and the observer are called from inside the module's
// DialogBoxParamA, where no exception may pass. An exception from the input
// source counts as input run out and is kept here for the host to rethrow
// once the module has returned; one from the observer is dropped.
std::exception_ptr TakeDialogInputError();

// The state of the dialog most recently shown (after it ended), if any.
std::optional<DialogState> LastDialog();

// ---- Cursors and bitmaps -------------------------------------------------

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> rgba;  // 0xAABBGGRR, row 0 at the top
};

struct CursorInfo {
    int resourceId = 0;  // the module's cursor number; 0 for a system cursor
    bool system = false;
    int hotX = 0;
    int hotY = 0;
    Image image;  // transparent where the cursor shows the screen
};
struct BitmapInfo {
    int resourceId = 0;
    int bitsPerPixel = 0;
    Image image;
};

// The platform's standard arrow cursor (for the host's own cursors).
HCURSOR SystemArrowCursor();
// What a cursor or bitmap handle is; nullopt for an unknown handle.
std::optional<CursorInfo> DescribeCursor(HCURSOR cursor);
std::optional<BitmapInfo> DescribeBitmap(HBITMAP bitmap);

}  // namespace vxwin32
