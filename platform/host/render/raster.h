// SPDX-License-Identifier: AGPL-3.0-or-later
// What pages are drawn into, and how page space maps onto it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vellora {

// An RGBA raster, row 0 at the top; pixels are 0xAABBGGRR.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Raster() = default;
    Raster(int w, int h, uint32_t fill) : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}
    uint32_t& at(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// Affine map from page space (points, y up) to device pixels (y down):
// dx = a*x + c*y + e, dy = b*x + d*y + f.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
};

}  // namespace vellora
