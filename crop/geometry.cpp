// SPDX-License-Identifier: AGPL-3.0-or-later
#include "crop/geometry.h"

#include "module/fixed.h"
#include "module/module_state.h"

HalfSizePair HalfSize(FixedRect rect)
{
    HalfSizePair half;
    half.halfWidth = host.support->FixedDiv(RectWidth(rect), kFixedTwo);
    half.halfHeight = host.support->FixedDiv(RectHeight(rect), kFixedTwo);
    return half;
}

HostBool OverlapsBy(FixedRect region, FixedRect box, Fixed margin)
{
    if (!(region.bottom <= FixedSub(box.top, margin))) {
        return VX_TRUE;
    }
    if (!(region.top >= FixedAdd(box.bottom, margin))) {
        return VX_TRUE;
    }
    if (!(region.left <= FixedSub(box.right, margin))) {
        return VX_TRUE;
    }
    if (!(region.right >= FixedAdd(box.left, margin))) {
        return VX_TRUE;
    }
    return VX_FALSE;
}

int RotationPlus(int16_t rotation, int turn)
{
    // int16 plus a quarter-turn multiple cannot overflow int; % truncates.
    return (static_cast<int>(rotation) + turn) % 360;
}

namespace {

struct MiddlePoint {
    Fixed x;
    Fixed y;
};

// The middle of a box: left plus half the width, bottom plus half the
// height. A region is carried about this point, so a media box that does
// not start at 0,0 does not drag the region by its offset.
MiddlePoint MiddleOf(FixedRect box)
{
    const HalfSizePair half = HalfSize(box);
    return MiddlePoint{FixedAdd(box.left, half.halfWidth), FixedAdd(box.bottom, half.halfHeight)};
}

}  // namespace

FixedRect MapRegion(FixedRect pageMediaBox, FixedRect region, FixedRect capturedMediaBox,
                    int16_t pageRotation, int16_t capturedRotation)
{
    const MiddlePoint c = MiddleOf(capturedMediaBox);
    const MiddlePoint p = MiddleOf(pageMediaBox);
    const Fixed l = region.left, t = region.top, r = region.right, b = region.bottom;

    FixedRect out = {0, 0, 0, 0};
    if (pageRotation == capturedRotation) {
        const Fixed dx = FixedSub(p.x, c.x), dy = FixedSub(p.y, c.y);
        out.left = FixedAdd(dx, l);
        out.top = FixedAdd(dy, t);
        out.right = FixedAdd(dx, r);
        out.bottom = FixedAdd(dy, b);
    } else if (pageRotation == RotationPlus(capturedRotation, 90)) {
        const Fixed x0 = FixedAdd(p.x, c.y), y0 = FixedSub(p.y, c.x);
        out.left = FixedSub(x0, t);
        out.top = FixedAdd(y0, r);
        out.right = FixedSub(x0, b);
        out.bottom = FixedAdd(y0, l);
    } else if (pageRotation == RotationPlus(capturedRotation, 180)) {
        const Fixed x0 = FixedAdd(p.x, c.x), y0 = FixedAdd(p.y, c.y);
        out.left = FixedSub(x0, r);
        out.top = FixedSub(y0, b);
        out.right = FixedSub(x0, l);
        out.bottom = FixedSub(y0, t);
    } else if (pageRotation == RotationPlus(capturedRotation, 270)) {
        const Fixed x0 = FixedSub(p.x, c.y), y0 = FixedAdd(p.y, c.x);
        out.left = FixedAdd(x0, b);
        out.top = FixedSub(y0, l);
        out.right = FixedAdd(x0, t);
        out.bottom = FixedSub(y0, r);
    }
    return out;
}

FixedRect ClipToBox(FixedRect rect, FixedRect box)
{
    FixedRect out;
    out.left = rect.left > box.left ? rect.left : box.left;
    out.top = rect.top < box.top ? rect.top : box.top;
    out.right = rect.right < box.right ? rect.right : box.right;
    out.bottom = rect.bottom > box.bottom ? rect.bottom : box.bottom;
    return out;
}

HostBool NearPoint(int16_t x, int16_t y, int16_t px, int16_t py, int16_t tolerance)
{
    const int tol = tolerance;
    const bool nearX = px - tol <= x && x <= px + tol;
    const bool nearY = py - tol <= y && y <= py + tol;
    return (nearX && nearY) ? VX_TRUE : VX_FALSE;
}

namespace {

// Device results are 16-bit; a side pushed past the range wraps like the
// host's own 16-bit arithmetic.
int16_t Device16(int value)
{
    return static_cast<int16_t>(value);
}

DeviceRect SpanAround(int left, int top, int right, int bottom, int amount)
{
    DeviceRect out;
    out.left = Device16(left - amount);
    out.top = Device16(top - amount);
    out.right = Device16(right + amount);
    out.bottom = Device16(bottom + amount);
    return out;
}

}  // namespace

DeviceRect GrowDeviceRect(DeviceRect rect, int16_t amount)
{
    return SpanAround(rect.left, rect.top, rect.right, rect.bottom, amount);
}

DeviceRect HandleSquare(int16_t x, int16_t y, int16_t half)
{
    return SpanAround(x, y, x, y, half);
}
