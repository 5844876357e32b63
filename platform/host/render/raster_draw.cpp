// SPDX-License-Identifier: AGPL-3.0-or-later
#include "render/raster_draw.h"

#include "core/fixed_text.h"

#include <algorithm>
#include <cmath>

namespace vellora {

DeviceBox Intersect(const DeviceBox& a, const DeviceBox& b) {
    return DeviceBox{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

bool Contains(const DeviceBox& box, int x, int y) { return x >= box.x0 && x <= box.x1 && y >= box.y0 && y <= box.y1; }

DeviceBox TransformBox(const Affine& t, const FixedRect& r) {
    double xs[2] = {FixedToDouble(r.left), FixedToDouble(r.right)};
    double ys[2] = {FixedToDouble(r.bottom), FixedToDouble(r.top)};
    double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
    for (double x : xs)
        for (double y : ys) {
            double dx = t.a * x + t.c * y + t.e, dy = t.b * x + t.d * y + t.f;
            minX = std::min(minX, dx), maxX = std::max(maxX, dx);
            minY = std::min(minY, dy), maxY = std::max(maxY, dy);
        }
    auto clampInt = [](double v) { return static_cast<int>(std::clamp(v, -1e9, 1e9)); };
    // Pixel centres inside the rectangle.
    return DeviceBox{clampInt(std::ceil(minX - 0.5)), clampInt(std::ceil(minY - 0.5)), clampInt(std::floor(maxX - 0.5)),
                     clampInt(std::floor(maxY - 0.5))};
}

void FillBox(Raster& raster, const DeviceBox& box, uint32_t rgba) {
    DeviceBox b = Intersect(box, DeviceBox{0, 0, raster.width - 1, raster.height - 1});
    for (int y = b.y0; y <= b.y1; ++y)
        for (int x = b.x0; x <= b.x1; ++x) raster.at(x, y) = rgba;
}

void StrokeRect(Raster& raster, const DeviceRect& rect, int width, uint32_t rgba,
                const std::vector<DeviceBox>& erased) {
    DeviceBox outer{std::min(rect.left, rect.right), std::min(rect.top, rect.bottom), std::max(rect.left, rect.right),
                    std::max(rect.top, rect.bottom)};
    int w = std::max(1, width);
    DeviceBox inner{outer.x0 + w, outer.y0 + w, outer.x1 - w, outer.y1 - w};
    DeviceBox visible = Intersect(outer, DeviceBox{0, 0, raster.width - 1, raster.height - 1});
    auto plot = [&](int x, int y) {
        bool hidden = std::any_of(erased.begin(), erased.end(), [&](const DeviceBox& e) { return Contains(e, x, y); });
        if (!hidden) raster.at(x, y) = rgba;
    };
    for (int y = visible.y0; y <= visible.y1; ++y) {
        if (y < inner.y0 || y > inner.y1 || inner.empty()) {
            for (int x = visible.x0; x <= visible.x1; ++x) plot(x, y);
            continue;
        }
        // Rows through the middle: only the two side strokes.
        for (int x = visible.x0; x <= std::min(visible.x1, inner.x0 - 1); ++x) plot(x, y);
        for (int x = std::max(visible.x0, inner.x1 + 1); x <= visible.x1; ++x) plot(x, y);
    }
}

void CompositeOver(Raster& raster, int x0, int y0, const unsigned char* rgba, int width, int height) {
    for (int y = 0; y < height; ++y) {
        const unsigned char* src = &rgba[size_t(y) * size_t(width) * 4];
        for (int x = 0; x < width; ++x, src += 4) {
            const uint32_t a = src[3];
            if (a == 0) continue;
            uint32_t& dst = raster.at(x0 + x, y0 + y);
            uint32_t result = 0;
            for (int c = 0; c < 4; ++c) {
                const uint32_t under = (dst >> (8 * c)) & 0xFFu;
                const uint32_t over = c == 3 ? a : src[c];
                const uint32_t v = over + (under * (255u - a) + 127u) / 255u;
                result |= (v > 255u ? 255u : v) << (8 * c);
            }
            dst = result;
        }
    }
}

}  // namespace vellora
