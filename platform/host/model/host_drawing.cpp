// SPDX-License-Identifier: AGPL-3.0-or-later
// Drawing of page views: repaint, then the plug-in's page-view drawing
// routines; and what the user sees of a region those routines outline.
#include "model/host.h"

#include <algorithm>

namespace vellora {

void HostState::drawNow(PageView& view) {
    // A routine drawing this view asks for DrawNow on it: the host is
    // drawing it already and does not start over.
    if (view.drawing) return;
    if (view.hasInvalid()) drawPass(view);
}

void HostState::idle() {
    if (active_ != nullptr && active_->view().hasInvalid()) drawPass(active_->view());
}

void HostState::drawPass(PageView& view) {
    view.repaintInvalid();
    view.drawing = true;
    struct Reset {
        PageView& v;
        ~Reset() { v.drawing = false; }
    } reset{view};
    // Routines registered or unregistered by the routines themselves take
    // effect from the next drawing.
    std::vector<Hook> routines = drawing_;
    for (const Hook& hook : routines) {
        bool stillRegistered =
            std::any_of(drawing_.begin(), drawing_.end(), [&](const Hook& h) { return h.routine == hook.routine; });
        if (!stillRegistered) continue;
        observing_.push_back(Observation{&view, {}, {}});
        call<PageViewDrawingProc>(hook.routine, reinterpret_cast<PageViewHandle>(&view), hook.data);
        Observation seen = std::move(observing_.back());
        observing_.pop_back();

        // A rectangle followed by four 7x7 squares centred on its corners
        // is a region with its handles; the last one drawn counts.
        std::optional<DeviceRect> outline;
        for (size_t i = 0; i + 4 < seen.outlines.size(); ++i) {
            const DeviceRect& r = seen.outlines[i];
            std::vector<std::pair<int, int>> corners{
                {r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
            std::vector<std::pair<int, int>> centres;
            bool squares = true;
            for (size_t k = 1; k <= 4; ++k) {
                const DeviceRect& h = seen.outlines[i + k];
                squares = squares && h.right - h.left == 6 && h.bottom - h.top == 6;
                centres.emplace_back(h.left + 3, h.top + 3);
            }
            std::sort(corners.begin(), corners.end());
            std::sort(centres.begin(), centres.end());
            if (squares && corners == centres) outline = r;
        }
        regions_.erase(hook.routine);
        if (!outline) continue;
        for (auto it = seen.converted.rbegin(); it != seen.converted.rend(); ++it) {
            const DeviceRect& d = it->second;
            if (d.left == outline->left && d.top == outline->top && d.right == outline->right &&
                d.bottom == outline->bottom) {
                regions_[hook.routine] = RegionSeen{it->first, &view.document(), view.pageIndex()};
                break;
            }
        }
    }
}

void HostState::drawDetached(PageView& view) {
    struct Restore {
        HostState& h;
        PageView& v;
        std::map<HostCallback, RegionSeen> regions;
        ~Restore() {
            h.dropHandle(&v);
            h.regions_ = std::move(regions);
        }
    } restore{*this, view, regions_};
    addHandle(&view, kViewKind);
    view.invalidateAll();
    drawPass(view);
}

void HostState::notifyPageChanged(Document& doc, int page) {
    for (const auto& w : windows_)
        if (&w->document() == &doc && w->view().pageIndex() == page) w->view().invalidateAll();
}

void HostState::registerDrawing(HostCallback routine, void* data) {
    (void)callbacks_.routine(routine);  // an unknown handle is refused here, not when drawing
    // Registering again keeps the routine's place and takes the new data.
    for (Hook& h : drawing_)
        if (h.routine == routine) {
            h.data = data;
            return;
        }
    drawing_.push_back(Hook{routine, data});
}

void HostState::unregisterDrawing(HostCallback routine) {
    std::erase_if(drawing_, [&](const Hook& h) { return h.routine == routine; });
    regions_.erase(routine);
}

void HostState::noteRectToDevice(const PageView& view, const FixedRect& rect, const DeviceRect& out) {
    if (!observing_.empty() && observing_.back().view == &view) observing_.back().converted.emplace_back(rect, out);
}

void HostState::noteOutline(const PageView& view, const DeviceRect& rect) {
    if (!observing_.empty() && observing_.back().view == &view) observing_.back().outlines.push_back(rect);
}

std::pair<int, int> HostState::followDrag(PageView& view, int16_t x, int16_t y,
                                          const std::function<DeviceRect(int, int)>& bandAt) {
    if (input_.live == nullptr) {
        if (input_.gesture) return {input_.gesture->endX, input_.gesture->endY};
        return {x, y};
    }
    struct Clear {
        PageView& v;
        ~Clear() { v.rubberBand.reset(); }
    } clear{view};
    PointerStep step{x, y, input_.gesture ? input_.gesture->modifiers : uint16_t{0}, false};
    while (true) {
        view.rubberBand = bandAt(step.x, step.y);
        input_.live->showDragFrame();
        step = input_.live->nextPointerStep();
        // The keys held now are what Viewer.GetModifiers reports.
        if (input_.gesture) input_.gesture->modifiers = step.modifiers;
        if (step.released) break;
    }
    view.rubberBand.reset();
    input_.live->showDragFrame();
    return {step.x, step.y};
}

std::optional<RegionSeen> HostState::region() const {
    for (auto it = drawing_.rbegin(); it != drawing_.rend(); ++it) {
        auto found = regions_.find(it->routine);
        if (found != regions_.end()) return found->second;
    }
    return std::nullopt;
}

}  // namespace vellora
