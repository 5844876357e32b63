// SPDX-License-Identifier: AGPL-3.0-or-later
// A page view: the page shown in a document window, its zoom and device
// transform, its drawing colour, and what has been drawn on it. Drawing is
// kept as a list of outlines and turned into pixels only for a snapshot,
// so high zooms cost nothing until then.
#pragma once

#include "model/view_geometry.h"
#include "render/raster_draw.h"
#include "vx_types.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vellora {

// The SDK's handles the plug-in holds for a page view and a document window
// (opaque pointers to the host's PageView and DocWindow below).
using PageViewHandle = ::PageView;
using DocWindowHandle = ::DocWindow;

class DocWindow;
class Document;

struct DrawOp {
    DeviceRect rect{};
    int width = 1;
    uint32_t rgba = 0xFF000000u;
    std::vector<DeviceBox> erased;  // parts repainted since it was drawn
};

class PageView {
public:
    explicit PageView(DocWindow& window) : window_(window) {}

    DocWindow& window() const { return window_; }
    Document& document() const;
    int pageIndex() const { return page_; }
    void setPage(int index);
    double zoom() const { return zoom_; }
    void setZoom(double percent);
    // The device pixels of the page at this zoom, margins included; more
    // than kMaxSnapshotPixels cannot be rasterised.
    size_t devicePixels() const;
    static constexpr size_t kMaxSnapshotPixels = size_t{64} * 1024 * 1024;
    ViewGeometry geometry() const;

    const ColorValue& color() const { return color_; }
    // Throws HostError for a colour space the host does not know.
    void setColor(const ColorValue& color);

    void drawOutline(const DeviceRect& rect, int width);
    void invalidate(const DeviceRect& rect);
    void invalidateAll();
    bool hasInvalid() const { return !invalid_.empty(); }
    // Repaints the invalid area with the page: outlines wholly inside it go,
    // others lose the part inside it.
    void repaintInvalid();
    const std::vector<DrawOp>& ops() const { return ops_; }

    // True while the host runs the view's drawing routines.
    bool drawing = false;
    // The rectangle a drag loop shows following the mouse; none outside one.
    std::optional<DeviceRect> rubberBand;

    // The page's rendering with the outlines and rubber band on top. Throws
    // HostError when the raster would be unreasonably large.
    Raster rasterise() const;
    // The rendering alone, which outlines do not change.
    Raster rasterisePage() const;

private:
    DocWindow& window_;
    int page_ = 0;
    double zoom_ = 100.0;
    ColorValue color_{VX_COLOR_SPACE_GRAY, {0, 0}, {0, 0, 0, 0}};
    uint32_t rgba_ = 0xFF000000u;
    std::vector<DrawOp> ops_;
    std::vector<DeviceBox> invalid_;
};

uint32_t ColorToRgba(const ColorValue& color);

// A page's rendering in a view of that geometry, as a page view shows it:
// the margin grey, the media box pale, the page's content inside the crop
// box. Throws HostError when the raster would be unreasonably large.
class DocumentBackend;
Raster RenderPageView(DocumentBackend& backend, int page, const ViewGeometry& geometry, const FixedRect& media,
                      const FixedRect& crop);

// The host draws a drag loop's rubber band one pixel wide, in black.
inline constexpr uint32_t kRubberBandRgba = 0xFF000000u;

class DocWindow {
public:
    DocWindow(std::string name, std::shared_ptr<Document> doc)
        : name_(std::move(name)), doc_(std::move(doc)), view_(*this) {}
    const std::string& name() const { return name_; }
    Document& document() const { return *doc_; }
    const std::shared_ptr<Document>& documentPtr() const { return doc_; }
    PageView& view() { return view_; }

private:
    std::string name_;
    std::shared_ptr<Document> doc_;
    PageView view_;
};

}  // namespace vellora
