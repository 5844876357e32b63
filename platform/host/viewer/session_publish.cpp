// SPDX-License-Identifier: AGPL-3.0-or-later
// What the session publishes: the window's chrome (menus, toolbar, windows,
// view), asked of the host and the plug-in only when the host is idle; the
// live parts (modal, progress, cursor) at any time; and the page view's
// drawing, whose rendering is cached by what it depends on.
#include "viewer/viewer_session.h"

#include "core/fixed_text.h"
#include "model/view_geometry.h"
#include "render/png_writer.h"
#include "viewer/json_writer.h"

#include <vxwin32/standin.h>

#include <cstdio>

namespace vellora::viewer {

namespace {

constexpr int kMaxMenuDepth = 8;

std::string ShortcutText(const MenuItemObj& item) {
    if (item.shortcut <= 0 || item.shortcut > 126) return {};
    std::string text;
    if (item.modifiers & VX_MODIFIER_CONTROL) text += "Ctrl+";
    if (item.modifiers & VX_MODIFIER_SHIFT) text += "Shift+";
    return text + static_cast<char>(item.shortcut);
}

std::string RgbaText(uint32_t rgba) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", rgba & 0xFF, (rgba >> 8) & 0xFF, (rgba >> 16) & 0xFF);
    return buffer;
}

void Rect(JsonWriter& j, const DeviceRect& r) {
    j.beginArray().value(r.left).value(r.top).value(r.right).value(r.bottom).endArray();
}

// Page units as the region panel writes them: left, bottom, right, top.
void PageRect(JsonWriter& j, const FixedRect& rect) {
    const FixedRect r = OrderedRect(rect);
    j.beginArray()
        .value(FixedToDouble(r.left))
        .value(FixedToDouble(r.bottom))
        .value(FixedToDouble(r.right))
        .value(FixedToDouble(r.top))
        .endArray();
}

std::shared_ptr<const Bytes> PngOf(const vxwin32::Image& image) {
    Raster raster;
    raster.width = image.width;
    raster.height = image.height;
    raster.pixels = image.rgba;
    return std::make_shared<const Bytes>(EncodePng(raster));
}

}  // namespace

void ViewerSession::publish() {
    chrome_ = chromeJson();
    // The frame first: a page it cannot draw is a message in the state.
    publishFrame();
    publishState();
}

void ViewerSession::publishState() {
    picturesPublished_ = pictures_->json();
    JsonWriter j;
    j.beginObject().key("chrome").raw(chrome_).key("live").raw(liveJson());
    j.key("pages").raw(picturesPublished_).endObject();
    publication_.setState(j.text());
}

void ViewerSession::publishPictures() {
    pictures_->update(false);
    if (pictures_->overlayOn() && host().activeWindow() != nullptr) {
        (void)pictures_->overlayImage(host().activeWindow()->view());
        if (pictures_->overlayChanged()) publishFrame();
    }
    // The page list's changes go no more often than ten times a second: the
    // badges of a long document come a page at a time.
    picturesDirty_ = pictures_->json() != picturesPublished_;
    auto now = std::chrono::steady_clock::now();
    if (picturesDirty_ && now - lastPicturesPublish_ >= std::chrono::milliseconds(100)) {
        lastPicturesPublish_ = now;
        picturesDirty_ = false;
        publishState();
    }
}

void ViewerSession::evaluateMenu(MenuObj& menu, int depth) {
    if (depth > kMaxMenuDepth) return;
    for (MenuItemObj* item : menu.items) {
        if (item->submenu != nullptr) {
            evaluateMenu(*item->submenu, depth + 1);
            continue;
        }
        menuStates_[item] = {host().enabled(*item), host().marked(*item)};
    }
}

std::string ViewerSession::menuJson(MenuObj& menu, int depth) {
    JsonWriter j;
    j.beginObject().key("name").value(menu.name).key("title").value(menu.title).key("items").beginArray();
    for (MenuItemObj* item : menu.items) {
        j.beginObject().key("name").value(item->name).key("title").value(item->title);
        if (item->submenu != nullptr && depth < kMaxMenuDepth) {
            j.key("submenu").raw(menuJson(*item->submenu, depth + 1));
        } else {
            auto found = menuStates_.find(item);
            // Not asked yet: the page waits for the opening's answer.
            if (found == menuStates_.end())
                j.key("enabled").null().key("marked").value(false);
            else
                j.key("enabled").value(found->second.first).key("marked").value(found->second.second);
            j.key("shortcut").value(ShortcutText(*item));
            j.key("key").value(
                item->shortcut > 0 && item->shortcut <= 126 ? std::string(1, static_cast<char>(item->shortcut)) : "");
            j.key("modifiers").value(static_cast<int>(item->modifiers));
        }
        if (item->icon != nullptr) j.key("icon").value(bitmapUrl(item->icon));
        j.endObject();
    }
    j.endArray().endObject();
    return j.text();
}

std::string ViewerSession::bitmapUrl(void* bitmap) {
    auto info = vxwin32::DescribeBitmap(static_cast<HBITMAP>(bitmap));
    if (!info) return {};
    std::string key = "bitmap-" + std::to_string(info->resourceId) + ".png";
    if (!publication_.asset(key)) publication_.putAsset(key, PngOf(info->image));
    return "asset/" + key;
}

std::string ViewerSession::cursorJson() {
    auto info = vxwin32::DescribeCursor(static_cast<HCURSOR>(host().cursor()));
    if (!info || info->system) return "null";
    std::string key = "cursor-" + std::to_string(info->resourceId) + ".png";
    if (!publication_.asset(key)) publication_.putAsset(key, PngOf(info->image));
    JsonWriter j;
    j.beginObject().key("url").value("asset/" + key).key("x").value(info->hotX).key("y").value(info->hotY).endObject();
    return j.text();
}

std::string ViewerSession::pageImageKey(PageView& view) {
    const Document& doc = view.document();
    auto id = documentIds_.emplace(&doc, static_cast<int>(documentIds_.size()) + 1).first->second;
    const DocumentBackend& b = doc.backend();
    int page = view.pageIndex();
    FixedRect m = b.mediaBox(page), c = b.cropBox(page);
    // What the rendering depends on: the page, its boxes and rotation, the zoom.
    char depends[200];
    std::snprintf(depends, sizeof depends, "%d/%d/%d,%d,%d,%d/%d,%d,%d,%d/%d/%.4f", id, page, m.left, m.bottom, m.right,
                  m.top, c.left, c.bottom, c.right, c.top, b.rotation(page), view.zoom());
    auto [entry, fresh] = imageKeys_.emplace(depends, "");
    if (fresh) entry->second = "p" + std::to_string(imageKeys_.size());
    if (!publication_.hasImage(entry->second))
        publication_.putImage(entry->second, std::make_shared<const Bytes>(EncodePng(view.rasterisePage())));
    return entry->second;
}

std::string ViewerSession::chromeJson() {
    FrontEndSide& h = host();
    JsonWriter j;
    j.beginObject().key("windows").beginArray();
    DocWindow* active = h.activeWindow();
    int activeIndex = -1;
    for (size_t i = 0; i < h.windows().size(); ++i) {
        const auto& w = h.windows()[i];
        if (w.get() == active) activeIndex = static_cast<int>(i);
        // A name that is not UTF-8 is shown with its odd bytes as \xHH.
        j.beginObject().key("name").value(Utf8OrEscaped(w->name())).key("modified").value(w->document().modified());
        j.endObject();
    }
    j.endArray();
    j.key("active");
    if (active == nullptr)
        j.null();
    else
        j.value(Utf8OrEscaped(active->name()));
    j.key("activeIndex").value(activeIndex);

    j.key("menus").beginArray();
    for (MenuObj* menu : h.topMenus()) j.raw(menuJson(*menu, 0));
    j.endArray().key("menuAnswered").value(menuAnswered_);

    j.key("toolbar").beginArray();
    for (ButtonObj* b : h.buttons()) {
        j.beginObject().key("name").value(b->nameText);
        j.key("title").value(b->helpText.empty() ? b->nameText : b->helpText);
        j.key("enabled").value(h.enabled(*b)).key("marked").value(h.marked(*b));
        if (b->icon != nullptr) j.key("icon").value(bitmapUrl(b->icon));
        j.endObject();
    }
    j.endArray();
    ToolRecord* tool = h.activeTool();
    j.key("tool").value(tool == nullptr ? std::string() : h.toolName(tool));
    // The box settings panel's figures.
    const BoxMargin& m = h.config().margin;
    j.key("boxSettings").beginObject().key("margin").beginArray();
    for (Fixed side : {m.left, m.bottom, m.right, m.top}) j.value(FixedToDouble(side));
    j.endArray().key("threshold").value(h.config().ink.threshold);
    j.key("ignoreDarkEdges").value(h.config().ink.ignoreDarkEdges).endObject();
    j.endObject();
    return j.text();
}

std::string ViewerSession::liveJson() {
    JsonWriter j;
    j.beginObject().key("modal");
    if (!modal_) {
        j.null();
    } else {
        j.beginObject().key("serial").value(modal_->serial).key("kind").value(modal_->question.kind);
        j.key("text").value(modal_->question.text).key("buttons").beginArray();
        for (const std::string& b : modal_->question.buttons) j.value(b);
        j.endArray();
        if (const auto& d = modal_->dialog) {
            j.key("dialog").beginObject().key("title").value(d->title);
            j.key("width").value(static_cast<int>(d->windowRect.right - d->windowRect.left));
            j.key("height").value(static_cast<int>(d->windowRect.bottom - d->windowRect.top));
            j.key("controls").beginArray();
            for (const vxwin32::ControlState& c : d->controls) {
                j.beginObject().key("id").value(c.id).key("class").value(c.className).key("text").value(c.text);
                j.key("radio").value(c.isRadio).key("checked").value(c.checked);
                j.key("default").value((c.style & 0xF) == 1);  // BS_DEFPUSHBUTTON
                j.key("rect").beginArray();
                j.value(static_cast<int>(c.rect.left - d->windowRect.left))
                    .value(static_cast<int>(c.rect.top - d->windowRect.top));
                j.value(static_cast<int>(c.rect.right - c.rect.left))
                    .value(static_cast<int>(c.rect.bottom - c.rect.top));
                j.endArray().endObject();
            }
            j.endArray().endObject();
        }
        j.endObject();
    }
    j.key("progress");
    if (progress_.shown)
        j.beginObject().key("value").value(progress_.value).key("duration").value(progress_.duration).endObject();
    else
        j.null();
    j.key("cursor").raw(cursorJson());
    j.key("message").value(message_).key("messageKind").value(messageIsError_ ? "error" : "note");
    j.key("quit").value(quit_);
    j.endObject();
    return j.text();
}

void ViewerSession::publishFrame() {
    DocWindow* active = host().activeWindow();
    JsonWriter j;
    if (active == nullptr) {
        publication_.setFrame("null");
        return;
    }
    PageView& view = active->view();
    std::string key;
    try {
        // With the overlay on, the ink of the pages instead of the page's rendering.
        key = pictures_->overlayImage(view);
        if (key.empty()) key = pageImageKey(view);
    } catch (const std::exception& e) {
        problem(e.what());  // too large at this zoom: the drawing still shows
    }
    ViewGeometry g = view.geometry();
    j.beginObject().key("window").value(active->name()).key("page").value(view.pageIndex() + 1);
    j.key("pages").value(view.document().pageCount()).key("zoom").value(view.zoom());
    j.key("width").value(DeviceWidth(g)).key("height").value(DeviceHeight(g));
    bool sideways = g.rotation == 90 || g.rotation == 270;
    FixedRect shown = g.shown;
    j.key("pageWidth").value(FixedToDouble(sideways ? shown.top - shown.bottom : shown.right - shown.left));
    j.key("pageHeight").value(FixedToDouble(sideways ? shown.right - shown.left : shown.top - shown.bottom));
    j.key("margin").value(g.margin);
    // In points, for the page view's text alternative.
    const DocumentBackend& backend = view.document().backend();
    j.key("mediaBox");
    PageRect(j, backend.mediaBox(view.pageIndex()));
    j.key("cropBox");
    PageRect(j, backend.cropBox(view.pageIndex()));
    // Also the region panel's figures.
    j.key("region");
    std::optional<RegionSeen> region = host().region();
    if (region && region->doc == &view.document() && region->page == view.pageIndex())
        PageRect(j, region->rect);
    else
        j.null();
    j.key("image");
    if (key.empty())
        j.null();
    else
        j.value("view/" + key + ".png");
    j.key("ops").beginArray();
    for (const DrawOp& op : view.ops()) {
        j.beginObject().key("rect");
        Rect(j, op.rect);
        j.key("width").value(op.width).key("color").value(RgbaText(op.rgba)).key("erased").beginArray();
        for (const DeviceBox& e : op.erased) j.beginArray().value(e.x0).value(e.y0).value(e.x1).value(e.y1).endArray();
        j.endArray().endObject();
    }
    j.endArray().key("band");
    if (view.rubberBand)
        Rect(j, *view.rubberBand);
    else
        j.null();
    j.key("bandColor").value(RgbaText(kRubberBandRgba));
    // The region panel's figures: the rubber band in page units, and what
    // one device pixel is worth there.
    j.key("bandPage");
    if (view.rubberBand)
        PageRect(j, DeviceRectToPageRect(g, *view.rubberBand));
    else
        j.null();
    j.key("pixel").value(1.0 / g.scale);
    j.key("overlay");
    if (pictures_->overlayOn()) {
        auto [done, total] = pictures_->overlayProgress();
        j.beginObject().key("done").value(done).key("total").value(total).endObject();
    } else {
        j.null();
    }
    j.endObject();
    publication_.setFrame(j.text());
}

}  // namespace vellora::viewer
