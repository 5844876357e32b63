// SPDX-License-Identifier: AGPL-3.0-or-later
#include "dialog_layout.h"

#include "window_registry.h"

#include <algorithm>

namespace vxwin32::detail {
namespace {

constexpr int kFontBaseX = 6;  // 8-point "MS Sans Serif"
constexpr int kFontBaseY = 13;
constexpr int kFontPoints = 8;
constexpr int kSystemBaseX = 8;  // the system font
constexpr int kSystemBaseY = 16;
constexpr uint16_t kShellFontPoints = 0x7FFF;  // "use the message box font"

constexpr uint32_t kWsBorder = 0x00800000;
constexpr uint32_t kWsDlgFrame = 0x00400000;
constexpr uint32_t kWsCaption = kWsBorder | kWsDlgFrame;
constexpr uint32_t kWsThickFrame = 0x00040000;
constexpr uint32_t kDsModalFrame = 0x80;
constexpr LONG kDialogFrame = 3;
constexpr LONG kSizingFrame = 4;
constexpr LONG kBorder = 1;
constexpr LONG kCaptionBar = 18;

// a * b / c rounded half away from zero, for c > 0 (the platform's MulDiv).
int64_t MulDivRounded(int64_t a, int64_t b, int64_t c) {
    const int64_t n = a * b;
    return n >= 0 ? (n + c / 2) / c : -((-n + c / 2) / c);
}

}  // namespace

BaseUnits DialogBaseUnits(const DialogTemplate& dialog) {
    if (!dialog.hasFont) return {kSystemBaseX, kSystemBaseY};
    const int points = dialog.pointSize == 0 || dialog.pointSize == kShellFontPoints ? kFontPoints : dialog.pointSize;
    return {static_cast<int>(std::max<int64_t>(1, MulDivRounded(kFontBaseX, points, kFontPoints))),
            static_cast<int>(std::max<int64_t>(1, MulDivRounded(kFontBaseY, points, kFontPoints)))};
}

FrameSizes NonClientFrame(uint32_t style) {
    LONG side = 0;
    if (style & (kDsModalFrame | kWsDlgFrame))
        side = kDialogFrame;
    else if (style & kWsThickFrame)
        side = kSizingFrame;
    else if (style & kWsBorder)
        side = kBorder;
    const LONG caption = (style & kWsCaption) == kWsCaption ? kCaptionBar : 0;
    return {side, side + caption, side, side};
}

RECT DialogUnitsToScreen(const BaseUnits& units, int64_t originX, int64_t originY, int16_t x, int16_t y, int16_t cx,
                         int16_t cy) {
    const LONG left = AddClamped(originX, MulDivRounded(x, units.x, 4));
    const LONG top = AddClamped(originY, MulDivRounded(y, units.y, 8));
    return RECT{left, top, AddClamped(left, MulDivRounded(cx, units.x, 4)),
                AddClamped(top, MulDivRounded(cy, units.y, 8))};
}

}  // namespace vxwin32::detail
