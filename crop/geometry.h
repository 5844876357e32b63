// SPDX-License-Identifier: AGPL-3.0-or-later
// Page and device rectangle operations shared by the crop engine and the
// crop tool. All are pure except HalfSize (and MapRegion through it), which
// divides with the host's Support.FixedDiv.
#pragma once

#include "vx_types.h"

struct HalfSizePair {
    Fixed halfWidth;
    Fixed halfHeight;
};

HalfSizePair HalfSize(FixedRect rect);

// 0 when the region reaches at least `margin` into the box on all four
// sides, 1 otherwise. The region's own size is not looked at.
// The name reads against the answer: 1 means it does NOT overlap by `margin`.
HostBool OverlapsBy(FixedRect region, FixedRect box, Fixed margin);

// (rotation + turn) reduced modulo 360 with the sign of the sum, so a
// negative sum stays negative and never equals a valid page rotation.
int RotationPlus(int16_t rotation, int turn);

// The region drawn on a page with capturedMediaBox and capturedRotation,
// placed on a page with pageMediaBox and pageRotation, turned about the
// middles of the two media boxes; the zero rectangle when the rotations fit
// none of the four turns.
FixedRect MapRegion(FixedRect pageMediaBox, FixedRect region, FixedRect capturedMediaBox,
                    int16_t pageRotation, int16_t capturedRotation);

// Clips side by side: left and bottom take the larger value, right and top
// the smaller. Nothing checks that the result is a proper rectangle.
FixedRect ClipToBox(FixedRect rect, FixedRect box);

// 1 when (x, y) lies within `tolerance` of (px, py) in both directions,
// bounds included. The bounds are formed at int width, so they never wrap.
HostBool NearPoint(int16_t x, int16_t y, int16_t px, int16_t py, int16_t tolerance);

DeviceRect GrowDeviceRect(DeviceRect rect, int16_t amount);
DeviceRect HandleSquare(int16_t x, int16_t y, int16_t half);
