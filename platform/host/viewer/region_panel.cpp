// SPDX-License-Identifier: AGPL-3.0-or-later
// The region panel's Set: four numbers in page units become the drag a
// person would make from corner to corner, through the host's own drag
// loop, so the plug-in receives the region through its tool as ever.
#include "viewer/viewer_session.h"

#include "core/fixed_text.h"
#include "model/view_geometry.h"

#include <sstream>

namespace vellora::viewer {

namespace {

// A device point of the view that is neither in the rectangle nor next to
// it: a click there lets go of a region. None when the rectangle covers the view.
std::optional<std::pair<int16_t, int16_t>> PointBeside(const ViewGeometry& g, const DeviceRect& rect) {
    constexpr int kClear = 8;  // beyond the corner handles and their tolerance
    const int w = DeviceWidth(g), h = DeviceHeight(g);
    const std::pair<int, int> corners[] = {{1, 1}, {w - 2, 1}, {1, h - 2}, {w - 2, h - 2}};
    for (auto [x, y] : corners) {
        bool near =
            rect.left - kClear <= x && x <= rect.right + kClear && rect.top - kClear <= y && y <= rect.bottom + kClear;
        if (!near && x >= 0 && y >= 0) return std::pair{static_cast<int16_t>(x), static_cast<int16_t>(y)};
    }
    return std::nullopt;
}

}  // namespace

void ViewerSession::setRegion(const std::string& text) {
    DocWindow* w = host().activeWindow();
    if (w == nullptr) return problem("Set: no document is open");
    ToolRecord* tool = host().activeTool();
    if (tool == nullptr || host().isHostTool(tool))
        return problem("Set: choose the crop tool first; Set drags the region with the active tool");

    std::istringstream words(text);
    std::vector<Fixed> values;
    for (std::string word; words >> word;) {
        std::optional<Fixed> v = FixedFromText(word);
        if (!v) return problem("Set: \"" + word + "\" is not a number of points");
        values.push_back(*v);
    }
    if (values.size() != 4) return problem("Set: give four numbers: left, bottom, right, top");
    const Fixed left = values[0], bottom = values[1], right = values[2], top = values[3];
    if (!(left < right && bottom < top)) return problem("Set: left must be less than right, and bottom less than top");

    PageView& view = w->view();
    const ViewGeometry g = view.geometry();
    // A region held on this page is let go first, by a click beside it, as
    // a person would; a press on it would move a corner or crop.
    if (std::optional<RegionSeen> held = host().region();
        held && held->doc == &view.document() && held->page == view.pageIndex()) {
        auto beside = PointBeside(g, PageRectToDevice(g, held->rect));
        if (!beside) return problem("Set: the region held fills the view; zoom out first");
        command({"click", std::to_string(beside->first), std::to_string(beside->second)});
        if (messageIsError_) return;
    }
    int16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    PagePointToDevice(g, left, bottom, x1, y1);
    PagePointToDevice(g, right, top, x2, y2);
    // The mouse goes to the far corner and is let go there.
    pointerSteps_ = {PointerStep{x2, y2, 0, false}, PointerStep{x2, y2, 0, true}};
    command({"click", std::to_string(x1), std::to_string(y1)});
    pointerSteps_.clear();
}

}  // namespace vellora::viewer
