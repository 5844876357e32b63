// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/page_view.h"

#include "core/fixed_text.h"
#include "model/document.h"

#include <algorithm>
#include <cmath>

namespace vellora {

namespace {

DeviceBox BoxOf(const DeviceRect& r) {
    return DeviceBox{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                     std::max(r.top, r.bottom)};
}

bool Inside(const DeviceBox& inner, const DeviceBox& outer) {
    return inner.x0 >= outer.x0 && inner.y0 >= outer.y0 && inner.x1 <= outer.x1 && inner.y1 <= outer.y1;
}

uint8_t Channel(Fixed component) {
    double v = std::clamp(FixedToDouble(component), 0.0, 1.0);
    return static_cast<uint8_t>(std::lround(v * 255.0));
}

}  // namespace

uint32_t ColorToRgba(const ColorValue& c) {
    uint32_t r, g, b;
    switch (c.space) {
    case VX_COLOR_SPACE_GRAY:
        r = g = b = Channel(c.value[0]);
        break;
    case VX_COLOR_SPACE_RGB:
        r = Channel(c.value[0]), g = Channel(c.value[1]), b = Channel(c.value[2]);
        break;
    case VX_COLOR_SPACE_CMYK: {
        double k = 1.0 - Channel(c.value[3]) / 255.0;
        r = static_cast<uint32_t>(std::lround((255 - Channel(c.value[0])) * k));
        g = static_cast<uint32_t>(std::lround((255 - Channel(c.value[1])) * k));
        b = static_cast<uint32_t>(std::lround((255 - Channel(c.value[2])) * k));
        break;
    }
    default:
        throw HostError("unknown colour space " + std::to_string(c.space));
    }
    return 0xFF000000u | (b << 16) | (g << 8) | r;
}

Document& PageView::document() const { return window_.document(); }

void PageView::setPage(int index) {
    document().checkIndex(index);
    page_ = index;
    invalidateAll();
}

void PageView::setZoom(double percent) {
    zoom_ = percent;
    invalidateAll();
}

ViewGeometry PageView::geometry() const {
    const DocumentBackend& b = document().backend();
    return MakeViewGeometry(b.mediaBox(page_), b.cropBox(page_), b.rotation(page_), zoom_);
}

void PageView::setColor(const ColorValue& color) {
    rgba_ = ColorToRgba(color);
    color_ = color;
}

void PageView::drawOutline(const DeviceRect& rect, int width) {
    // Drawing the same outline again replaces it, so repeated redraws do
    // not pile up.
    std::erase_if(ops_, [&](const DrawOp& op) {
        return op.rect.left == rect.left && op.rect.top == rect.top && op.rect.right == rect.right &&
               op.rect.bottom == rect.bottom && op.width == width && op.rgba == rgba_;
    });
    ops_.push_back(DrawOp{rect, width, rgba_, {}});
}

void PageView::invalidate(const DeviceRect& rect) { invalid_.push_back(BoxOf(rect)); }

void PageView::invalidateAll() { invalid_.assign(1, DeviceBox{-32768, -32768, 32767, 32767}); }

void PageView::repaintInvalid() {
    for (const DeviceBox& area : invalid_) {
        std::erase_if(ops_, [&](const DrawOp& op) { return Inside(BoxOf(op.rect), area); });
        for (DrawOp& op : ops_)
            if (!Intersect(BoxOf(op.rect), area).empty()) op.erased.push_back(area);
    }
    invalid_.clear();
}

Raster PageView::rasterise() const {
    Raster raster = rasterisePage();
    for (const DrawOp& op : ops_) StrokeRect(raster, op.rect, op.width, op.rgba, op.erased);
    if (rubberBand) StrokeRect(raster, *rubberBand, 1, kRubberBandRgba);
    return raster;
}

size_t PageView::devicePixels() const {
    ViewGeometry g = geometry();
    return static_cast<size_t>(DeviceWidth(g)) * static_cast<size_t>(DeviceHeight(g));
}

Raster PageView::rasterisePage() const {
    DocumentBackend& b = document().backend();
    return RenderPageView(b, page_, geometry(), b.mediaBox(page_), b.cropBox(page_));
}

Raster RenderPageView(DocumentBackend& backend, int page, const ViewGeometry& g, const FixedRect& media,
                      const FixedRect& crop) {
    size_t w = static_cast<size_t>(DeviceWidth(g)), h = static_cast<size_t>(DeviceHeight(g));
    if (w * h > PageView::kMaxSnapshotPixels)
        throw HostError("the view is " + std::to_string(w) + " x " + std::to_string(h) +
                        " pixels at this zoom, too large for a snapshot; lower the zoom");
    Raster raster(static_cast<int>(w), static_cast<int>(h), 0xFF808080u);
    Affine t = PageToDevice(g);
    // The media box's area beyond the crop box shows pale, the page white.
    FillBox(raster, TransformBox(t, media), 0xFFD0D0D0u);
    backend.render(page, t, OrderedRect(crop), raster);
    return raster;
}

}  // namespace vellora
