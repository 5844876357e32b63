// SPDX-License-Identifier: AGPL-3.0-or-later
// Drawing on an RGBA raster: filled boxes and rectangle outlines, clipped
// to the raster, and pictures laid over it.
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

// Lays a picture of premultiplied R, G, B, A bytes (`width` x `height`,
// rows one after another) over the raster, its top-left corner at (x, y);
// the picture must lie inside the raster. Where it is clear the raster is
// left as it was.
void CompositeOver(Raster& raster, int x, int y, const unsigned char* rgba, int width, int height);

}  // namespace vellora
