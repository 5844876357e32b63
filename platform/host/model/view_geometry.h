// SPDX-License-Identifier: AGPL-3.0-or-later
// The device transform of a page view: the page area shown, turned by the
// page's rotation, scaled by the zoom, inside a margin; device pixels are
// 16-bit with y growing downward, (0, 0) at the top left of the margin.
#pragma once

#include "render/raster.h"
#include "vx_types.h"

namespace vellora {

struct ViewGeometry {
    FixedRect shown{};   // page space, ordered (top > bottom)
    int rotation = 0;    // 0, 90, 180 or 270, clockwise as displayed
    double scale = 1.0;  // device pixels per point
    int margin = 16;     // device pixels around the shown area
};

// A page's rotation as displayed: multiples of 90 reduced to 0..270; other
// values are shown unrotated.
int DisplayRotation(int degrees);

// Sides put in order: left <= right, bottom <= top.
FixedRect OrderedRect(const FixedRect& rect);
// The smallest ordered rectangle holding both.
FixedRect UnionRect(const FixedRect& a, const FixedRect& b);

ViewGeometry MakeViewGeometry(const FixedRect& media, const FixedRect& crop, int rotation, double zoomPercent);

Affine PageToDevice(const ViewGeometry& geometry);
// Size of the whole view in device pixels.
int DeviceWidth(const ViewGeometry& geometry);
int DeviceHeight(const ViewGeometry& geometry);

// Corners converted and rounded to the nearest pixel (saturating at the
// 16-bit range), then ordered.
DeviceRect PageRectToDevice(const ViewGeometry& geometry, const FixedRect& rect);
// Corners converted exactly to the nearest 1/65536, then ordered.
FixedRect DeviceRectToPageRect(const ViewGeometry& geometry, const DeviceRect& rect);
// One point, rounded to the nearest pixel.
void PagePointToDevice(const ViewGeometry& geometry, Fixed x, Fixed y, int16_t& dx, int16_t& dy);

}  // namespace vellora
