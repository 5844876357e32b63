// SPDX-License-Identifier: AGPL-3.0-or-later
// Drawing on an RGBA raster: filled boxes and rectangle outlines, clipped
// to the raster.
#pragma once

#include "render/raster.h"
#include "vx_types.h"

#include <vector>

namespace vellora {

// Pixel box, bounds included: x0..x1, y0..y1.
struct DeviceBox {
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    bool empty() const { return x1 < x0 || y1 < y0; }
};

DeviceBox Intersect(const DeviceBox& a, const DeviceBox& b);
bool Contains(const DeviceBox& box, int x, int y);
// The pixels a page rectangle covers under the transform (sides in any order).
DeviceBox TransformBox(const Affine& toDevice, const FixedRect& rect);

void FillBox(Raster& raster, const DeviceBox& box, uint32_t rgba);
// The outline of the device rectangle, `width` pixels wide inward, except
// the pixels inside any of `erased`.
void StrokeRect(Raster& raster, const DeviceRect& rect, int width, uint32_t rgba,
                const std::vector<DeviceBox>& erased = {});

}  // namespace vellora
