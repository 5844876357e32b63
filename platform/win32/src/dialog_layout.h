// SPDX-License-Identifier: AGPL-3.0-or-later
// Where a dialog and its controls go on the screen.
//
// Dialog units become pixels through the base units of the template's
// font, as on the platform: x * baseX / 4 and y * baseY / 8, rounded. The
// stand-in has no fonts, so it takes the platform's figures for its usual
// dialog font, 8-point "MS Sans Serif": 6 by 13 pixels, scaled by point
// size for other sizes (any face); without DS_SETFONT it uses the system
// font's 8 by 16.
//
// The non-client frame: 3 pixels a side for a modal or dialog frame
// (DS_MODALFRAME, WS_DLGFRAME, so any caption), 4 for a sizing frame,
// 1 for a plain border, plus an 18-pixel caption bar for WS_CAPTION.
// "Pages To Crop" (193 x 95 units) is thus a 290 x 154 client area in a
// 296 x 178 window.
#pragma once

#include "dialog_template.h"

#include <windows.h>

namespace vxwin32::detail {

struct BaseUnits {
    int x = 0;
    int y = 0;
};

struct FrameSizes {
    LONG left = 0, top = 0, right = 0, bottom = 0;
};

BaseUnits DialogBaseUnits(const DialogTemplate& dialog);
FrameSizes NonClientFrame(uint32_t style);

// A rectangle in dialog units as screen pixels, relative to `originX/Y`.
RECT DialogUnitsToScreen(const BaseUnits& units, int64_t originX, int64_t originY, int16_t x, int16_t y, int16_t cx,
                         int16_t cy);

}  // namespace vxwin32::detail
