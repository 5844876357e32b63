// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/view_geometry.h"

#include "core/fixed_text.h"

#include <algorithm>
#include <cmath>

namespace vellora {

int DisplayRotation(int degrees) {
    if (degrees % 90 != 0) return 0;
    int r = degrees % 360;
    return r < 0 ? r + 360 : r;
}

FixedRect OrderedRect(const FixedRect& r) {
    return FixedRect{std::min(r.left, r.right), std::max(r.top, r.bottom), std::max(r.left, r.right),
                     std::min(r.top, r.bottom)};
}

FixedRect UnionRect(const FixedRect& a, const FixedRect& b) {
    FixedRect x = OrderedRect(a), y = OrderedRect(b);
    return FixedRect{std::min(x.left, y.left), std::max(x.top, y.top), std::max(x.right, y.right),
                     std::min(x.bottom, y.bottom)};
}

ViewGeometry MakeViewGeometry(const FixedRect& media, const FixedRect& crop, int rotation, double zoomPercent) {
    ViewGeometry g;
    g.shown = UnionRect(media, crop);
    g.rotation = DisplayRotation(rotation);
    g.scale = zoomPercent / 100.0;
    return g;
}

Affine PageToDevice(const ViewGeometry& g) {
    const double s = g.scale, m = g.margin;
    const double x0 = FixedToDouble(g.shown.left), x1 = FixedToDouble(g.shown.right);
    const double y0 = FixedToDouble(g.shown.bottom), y1 = FixedToDouble(g.shown.top);
    Affine t;
    switch (g.rotation) {
    case 90:  // the page's top edge is shown on the right
        t = Affine{0, s, s, 0, m - y0 * s, m - x0 * s};
        break;
    case 180:
        t = Affine{-s, 0, 0, s, m + x1 * s, m - y0 * s};
        break;
    case 270:
        t = Affine{0, -s, -s, 0, m + y1 * s, m + x1 * s};
        break;
    default:
        t = Affine{s, 0, 0, -s, m - x0 * s, m + y1 * s};
        break;
    }
    return t;
}

namespace {

double ShownWidth(const ViewGeometry& g) { return FixedToDouble(g.shown.right) - FixedToDouble(g.shown.left); }
double ShownHeight(const ViewGeometry& g) { return FixedToDouble(g.shown.top) - FixedToDouble(g.shown.bottom); }

int16_t ToDevice16(double v) {
    double r = std::round(v);
    return static_cast<int16_t>(std::clamp(r, -32768.0, 32767.0));
}

}  // namespace

int DeviceWidth(const ViewGeometry& g) {
    double w = (g.rotation % 180 == 0 ? ShownWidth(g) : ShownHeight(g)) * g.scale;
    return static_cast<int>(std::ceil(w)) + 2 * g.margin;
}

int DeviceHeight(const ViewGeometry& g) {
    double h = (g.rotation % 180 == 0 ? ShownHeight(g) : ShownWidth(g)) * g.scale;
    return static_cast<int>(std::ceil(h)) + 2 * g.margin;
}

void PagePointToDevice(const ViewGeometry& g, Fixed x, Fixed y, int16_t& dx, int16_t& dy) {
    Affine t = PageToDevice(g);
    double px = FixedToDouble(x), py = FixedToDouble(y);
    dx = ToDevice16(t.a * px + t.c * py + t.e);
    dy = ToDevice16(t.b * px + t.d * py + t.f);
}

DeviceRect PageRectToDevice(const ViewGeometry& g, const FixedRect& r) {
    int16_t x1, y1, x2, y2;
    PagePointToDevice(g, r.left, r.top, x1, y1);
    PagePointToDevice(g, r.right, r.bottom, x2, y2);
    return DeviceRect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

FixedRect DeviceRectToPageRect(const ViewGeometry& g, const DeviceRect& r) {
    Affine t = PageToDevice(g);
    double det = t.a * t.d - t.b * t.c;
    auto toPage = [&](int16_t dx, int16_t dy, Fixed& x, Fixed& y) {
        double u = dx - t.e, v = dy - t.f;
        x = FixedFromDouble((t.d * u - t.c * v) / det);
        y = FixedFromDouble((t.a * v - t.b * u) / det);
    };
    FixedRect out{};
    toPage(r.left, r.top, out.left, out.top);
    toPage(r.right, r.bottom, out.right, out.bottom);
    return OrderedRect(out);
}

}  // namespace vellora
