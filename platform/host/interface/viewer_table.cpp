// SPDX-License-Identifier: AGPL-3.0-or-later
// Viewer: alerts, progress and cancel, windows and views, coordinates,
// drawing, mouse and cursors, tools.
#include "interface/boundary.h"
#include "interface/tables.h"

#include "core/fixed_text.h"
#include "model/view_geometry.h"

#include <vxwin32/standin.h>

#include <algorithm>

namespace vellora {

namespace {

// The host's objects behind the handles the plug-in gives back.
PageView& ViewOf(PluginSide& h, PageViewHandle view) { return *h.checked<PageView>(view, kViewKind); }
DocWindow& WindowOf(PluginSide& h, DocWindowHandle window) { return *h.checked<DocWindow>(window, kWindowKind); }

template <class T>
T& Out(T* out, const char* what) {
    if (out == nullptr) throw HostError(std::string("no ") + what + " to fill (NULL)");
    return *out;
}

const DeviceRect& In(const DeviceRect* rect) {
    if (rect == nullptr) throw HostError("no rectangle given (NULL)");
    return *rect;
}

int16_t Clamp16(int v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }

DeviceRect Ordered(int x1, int y1, int x2, int y2) {
    return DeviceRect{Clamp16(std::min(x1, x2)), Clamp16(std::min(y1, y2)), Clamp16(std::max(x1, x2)),
                      Clamp16(std::max(y1, y2))};
}

// The rectangle DragRect gives for the mouse moved by (dx, dy): the whole
// rectangle moved inside the limits, or one corner moved and held to them.
DeviceRect DraggedRect(const DeviceRect& start, int32_t kind, const DeviceRect* limits, int dx, int dy) {
    int l = start.left, tp = start.top, r = start.right, b = start.bottom;
    switch (kind) {
    case VX_DRAG_WHOLE:
        l += dx, r += dx, tp += dy, b += dy;
        if (limits != nullptr) {
            int shiftX = std::max(0, limits->left - std::min(l, r)) - std::max(0, std::max(l, r) - limits->right);
            int shiftY = std::max(0, limits->top - std::min(tp, b)) - std::max(0, std::max(tp, b) - limits->bottom);
            l += shiftX, r += shiftX, tp += shiftY, b += shiftY;
        }
        break;
    case VX_DRAG_TOP_LEFT:
        l += dx, tp += dy;
        break;
    case VX_DRAG_TOP_RIGHT:
        r += dx, tp += dy;
        break;
    case VX_DRAG_BOTTOM_RIGHT:
        r += dx, b += dy;
        break;
    case VX_DRAG_BOTTOM_LEFT:
        l += dx, b += dy;
        break;
    default:
        throw HostError("drag kind " + ShowNumber(kind) + " is not one of 0 to 4");
    }
    if (limits != nullptr && kind != VX_DRAG_WHOLE) {
        l = std::clamp<int>(l, limits->left, std::max(limits->left, limits->right));
        r = std::clamp<int>(r, limits->left, std::max(limits->left, limits->right));
        tp = std::clamp<int>(tp, limits->top, std::max(limits->top, limits->bottom));
        b = std::clamp<int>(b, limits->top, std::max(limits->top, limits->bottom));
    }
    return Ordered(l, tp, r, b);
}

std::string ShowColor(const ColorValue& c) {
    return "color(" + ShowNumber(c.space) + " " + ShowFixed(c.value[0]) + " " + ShowFixed(c.value[1]) + " " +
           ShowFixed(c.value[2]) + " " + ShowFixed(c.value[3]) + ")";
}

extern "C" {

// ---- Progress monitor entries and the cancel check: host routines the
// plug-in calls through the pointers it is given.

static void ProgressBegin(void*) {
    HostCall("Progress.Begin", [&](PluginSide& h, TraceLine&) { h.progressUpdate(ProgressEvent::Begin); });
}
static void ProgressEnd(void*) {
    HostCall("Progress.End", [&](PluginSide& h, TraceLine&) { h.progressUpdate(ProgressEvent::End); });
}
static void ProgressSetDuration(int32_t count, void*) {
    HostCall("Progress.SetDuration", [&](PluginSide& h, TraceLine& t) {
        t.arg(count);
        h.progressUpdate(ProgressEvent::Duration, count);
    });
}
static void ProgressSetCurrentValue(int32_t value, void*) {
    HostCall("Progress.SetCurrentValue", [&](PluginSide& h, TraceLine& t) {
        t.arg(value);
        h.progressUpdate(ProgressEvent::Value, value);
    });
}

static HostBool CancelCheck(void*) {
    return HostOp<HostBool>("Cancel.Check", VX_TRUE, [&](PluginSide& h, TraceLine& t) {
        bool stop = h.cancelRequested();
        t.result(stop ? "stop" : "go on");
        return stop ? VX_TRUE : VX_FALSE;
    });
}

// ---- Alerts.

static int32_t ViewerAlert(int16_t icon, const char* message, const char* b1, const char* b2, const char* b3,
                           HostBool flag) {
    return HostOp<int32_t>("Viewer.Alert", 0, [&](PluginSide& h, TraceLine& t) {
        t.arg(icon).arg(Quoted{message}).arg(Quoted{b1}).arg(Quoted{b2}).arg(Quoted{b3}).arg(flag);
        int32_t answer = h.alert(NeedText(message, "message"), {b1, b2, b3});
        t.result(answer);
        return answer;
    });
}

static void ViewerAlertNote(const char* message) {
    HostCall("Viewer.AlertNote", [&](PluginSide& h, TraceLine& t) {
        t.arg(Quoted{message});
        h.note(NeedText(message, "message"));
    });
}

static HostBool ViewerAlertConfirm(const char* message) {
    return HostOp<HostBool>("Viewer.AlertConfirm", VX_FALSE, [&](PluginSide& h, TraceLine& t) {
        t.arg(Quoted{message});
        bool yes = h.confirm(NeedText(message, "message"));
        t.result(yes);
        return yes ? VX_TRUE : VX_FALSE;
    });
}

// ---- Progress and cancel.

static CancelCheckProc ViewerGetCancelCheck(void** data) {
    return HostOp<CancelCheckProc>("Viewer.GetCancelCheck", nullptr, [&](PluginSide& h, TraceLine& t) {
        Out(data, "data word") = &h;
        t.result("check");
        return &CancelCheck;
    });
}

static const ProgressMonitor* ViewerGetProgressMonitor(void** data) {
    return HostOp<const ProgressMonitor*>("Viewer.GetProgressMonitor", nullptr, [&](PluginSide& h, TraceLine& t) {
        Out(data, "data word") = &h;
        const ProgressMonitor* monitor = h.progressMonitor();
        t.result(monitor ? "monitor" : "NULL");
        return monitor;
    });
}

// ---- Windows and views.

static DocWindowHandle ViewerGetActiveDocWindow() {
    return HostOp<DocWindowHandle>("Viewer.GetActiveDocWindow", nullptr, [&](PluginSide& h, TraceLine& t) {
        auto window = reinterpret_cast<DocWindowHandle>(h.activeWindow());
        t.result(window);
        return window;
    });
}

static ::Document ViewerDocumentOf(DocWindowHandle window) {
    return HostOp<::Document>("Viewer.DocumentOf", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg(window);
        auto doc = reinterpret_cast<::Document>(&WindowOf(h, window).document());
        t.result(doc);
        return doc;
    });
}

static PageViewHandle ViewerPageViewOf(DocWindowHandle window) {
    return HostOp<PageViewHandle>("Viewer.PageViewOf", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg(window);
        auto view = reinterpret_cast<PageViewHandle>(&WindowOf(h, window).view());
        t.result(view);
        return view;
    });
}

static Page ViewerPageOf(PageViewHandle view) {
    return HostOp<Page>("Viewer.PageOf", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg(view);
        PageView& v = ViewOf(h, view);
        auto page = reinterpret_cast<Page>(&v.document().page(v.pageIndex()));
        t.result(page);
        return page;
    });
}

static int32_t ViewerPageNumberOf(PageViewHandle view) {
    return HostOp<int32_t>("Viewer.PageNumberOf", 0, [&](PluginSide& h, TraceLine& t) {
        t.arg(view);
        int32_t index = ViewOf(h, view).pageIndex();
        t.result(index);
        return index;
    });
}

static HostBool ViewerCloseDocWindow(DocWindowHandle window, HostBool noSave) {
    return HostOp<HostBool>("Viewer.CloseDocWindow", VX_FALSE, [&](PluginSide& h, TraceLine& t) {
        t.arg(window).arg(noSave);
        DocWindow& w = WindowOf(h, window);
        bool closed = false;
        if (h.config().closeRefused) {
            closed = false;
        } else if (noSave == 0) {
            closed = h.closeWindowAsking(w);
        } else {
            h.closeWindow(w);
            closed = true;
        }
        t.result(closed);
        return closed ? VX_TRUE : VX_FALSE;
    });
}

static DocWindowHandle ViewerOpenDocFromFile(HostPath path, HostFileSystem fileSystem, const char* title) {
    return HostOp<DocWindowHandle>("Viewer.OpenDocFromFile", nullptr, [&](PluginSide& h, TraceLine& t) {
        t.arg(path).arg(fileSystem == h.fileSystem() ? "filesystem" : "<unknown>").arg(Quoted{title});
        PathRef& p = *h.checked<PathRef>(path, kPathKind);
        if (p.refs == 0) throw HostError("the path was released already");
        if (fileSystem != h.fileSystem()) throw HostError("not the host's file system");
        std::shared_ptr<Document> doc;
        try {
            doc = h.openPdfDocument(p.path);
        } catch (const HostError& e) {
            // The host tells the user itself; the caller only sees NULL.
            h.note(std::string("The file could not be opened: ") + e.what(), "host");
            t.result("NULL");
            return DocWindowHandle{nullptr};
        }
        DocWindow& w = h.openWindow(doc, title ? std::string(title) : doc->name());
        auto window = reinterpret_cast<DocWindowHandle>(&w);
        t.result(window);
        return window;
    });
}

// ---- Coordinates.

static void ViewerRectToDevice(PageViewHandle view, const FixedRect* rect, DeviceRect* out) {
    HostCall("Viewer.RectToDevice", [&](PluginSide& h, TraceLine& t) {
        if (rect == nullptr) throw HostError("no rectangle given (NULL)");
        t.arg(view).arg(*rect);
        PageView& v = ViewOf(h, view);
        DeviceRect d = PageRectToDevice(v.geometry(), *rect);
        Out(out, "rectangle") = d;
        h.noteRectToDevice(v, *rect, d);
        t.result(d);
    });
}

static void ViewerDeviceRectToPage(PageViewHandle view, const DeviceRect* rect, FixedRect* out) {
    HostCall("Viewer.DeviceRectToPage", [&](PluginSide& h, TraceLine& t) {
        t.arg(view).arg(In(rect));
        FixedRect r = DeviceRectToPageRect(ViewOf(h, view).geometry(), *rect);
        Out(out, "rectangle") = r;
        t.result(r);
    });
}

// ---- Drawing.

static void ViewerInvalidateRect(PageViewHandle view, const DeviceRect* rect) {
    HostCall("Viewer.InvalidateRect", [&](PluginSide& h, TraceLine& t) {
        t.arg(view).arg(In(rect));
        ViewOf(h, view).invalidate(*rect);
    });
}

static void ViewerDrawNow(PageViewHandle view) {
    HostCall("Viewer.DrawNow", [&](PluginSide& h, TraceLine& t) {
        t.arg(view);
        h.drawNow(ViewOf(h, view));
    });
}

static void ViewerDrawRectOutline(PageViewHandle view, const DeviceRect* rect, int32_t lineWidth, const Fixed* dashes,
                                  int32_t dashCount) {
    HostCall("Viewer.DrawRectOutline", [&](PluginSide& h, TraceLine& t) {
        t.arg(view).arg(In(rect)).arg(lineWidth).arg(dashes ? "dashes" : "NULL").arg(dashCount);
        if (lineWidth < 0 || lineWidth > 1000)
            throw HostError("line width " + ShowNumber(lineWidth) + " is out of range");
        if (dashCount < 0 || (dashCount > 0 && dashes == nullptr)) throw HostError("dash pattern without dashes");
        PageView& v = ViewOf(h, view);
        v.drawOutline(*rect, lineWidth);
        h.noteOutline(v, *rect);
    });
}

static void ViewerGetColor(PageViewHandle view, ColorValue* color) {
    HostCall("Viewer.GetColor", [&](PluginSide& h, TraceLine& t) {
        t.arg(view);
        Out(color, "colour") = ViewOf(h, view).color();
        t.result([&] { return ShowColor(*color); });
    });
}

static void ViewerSetColor(PageViewHandle view, const ColorValue* color) {
    HostCall("Viewer.SetColor", [&](PluginSide& h, TraceLine& t) {
        if (color == nullptr) throw HostError("no colour given (NULL)");
        t.arg(view).arg([&] { return ShowColor(*color); });
        ViewOf(h, view).setColor(*color);
    });
}

static void ViewerRegisterPageViewDrawing(HostCallback routine, void* data) {
    HostCall("Viewer.RegisterPageViewDrawing", [&](PluginSide& h, TraceLine& t) {
        t.arg(AsCallback{routine}).arg(AsData{data});
        h.registerDrawing(routine, data);
    });
}

static void ViewerUnregisterPageViewDrawing(HostCallback routine) {
    HostCall("Viewer.UnregisterPageViewDrawing", [&](PluginSide& h, TraceLine& t) {
        t.arg(AsCallback{routine});
        h.unregisterDrawing(routine);
    });
}

// ---- Mouse and cursors.

static void ViewerDragOutNewRect(PageViewHandle view, int16_t x, int16_t y, DeviceRect* out) {
    HostCall("Viewer.DragOutNewRect", [&](PluginSide& h, TraceLine& t) {
        t.arg(view).arg(x).arg(y);
        auto band = [&](int ex, int ey) { return Ordered(x, y, ex, ey); };
        auto [ex, ey] = h.followDrag(ViewOf(h, view), x, y, band);
        Out(out, "rectangle") = band(ex, ey);
        t.result(*out);
    });
}

static void ViewerDragRect(PageViewHandle view, int16_t x, int16_t y, const DeviceRect* start, DeviceRect* out,
                           int32_t kind, const DeviceRect* limits) {
    HostCall("Viewer.DragRect", [&](PluginSide& h, TraceLine& t) {
        t.arg(view).arg(x).arg(y).arg(In(start)).arg(kind);
        t.arg([&] { return limits ? ShowDevice(*limits) : std::string("NULL"); });
        PageView& v = ViewOf(h, view);
        (void)DraggedRect(*start, kind, limits, 0, 0);  // a bad kind is refused before the loop
        auto band = [&](int ex, int ey) { return DraggedRect(*start, kind, limits, ex - x, ey - y); };
        auto [ex, ey] = h.followDrag(v, x, y, band);
        Out(out, "rectangle") = band(ex, ey);
        t.result(*out);
    });
}

static uint16_t ViewerGetModifiers() {
    return HostOp<uint16_t>("Viewer.GetModifiers", 0, [&](PluginSide& h, TraceLine& t) {
        uint16_t mods = h.gesture() ? h.gesture()->modifiers : 0;
        t.result(mods);
        return mods;
    });
}

static HostCursorHandle ViewerGetStandardCursor(int32_t number) {
    return HostOp<HostCursorHandle>("Viewer.GetStandardCursor", nullptr, [&](PluginSide&, TraceLine& t) {
        t.arg(number);
        // The stand-in has one cursor of its own, the arrow.
        if (number != VX_CURSOR_ARROW) throw HostError("the host has no standard cursor " + ShowNumber(number));
        t.result("arrow");
        return static_cast<HostCursorHandle>(vxwin32::SystemArrowCursor());
    });
}

static void ViewerSetCursor(HostCursorHandle cursor) {
    HostCall("Viewer.SetCursor", [&](PluginSide& h, TraceLine& t) {
        auto info = vxwin32::DescribeCursor(cursor);
        t.arg([&] {
            return !info          ? std::string("<unknown>")
                   : info->system ? std::string("arrow")
                                  : "cursor(" + ShowNumber(info->resourceId) + ")";
        });
        if (!info) throw HostError("not a cursor handle");
        h.setCursor(cursor);
    });
}

// ---- Tools.

static void ViewerRegisterTool(ToolRecord* tool) {
    HostCall("Viewer.RegisterTool", [&](PluginSide& h, TraceLine& t) {
        t.arg(tool ? "tool" : "NULL");
        h.registerTool(tool);
    });
}

static void ViewerSetActiveTool(ToolRecord* tool, HostBool flag) {
    HostCall("Viewer.SetActiveTool", [&](PluginSide& h, TraceLine& t) {
        t.arg(tool == nullptr ? "NULL" : h.isHostTool(tool) ? "host-tool" : "tool").arg(flag);
        if (tool == nullptr) throw HostError("no tool record given (NULL)");
        h.setActiveTool(tool);
    });
}

static ToolRecord* ViewerGetActiveTool() {
    return HostOp<ToolRecord*>("Viewer.GetActiveTool", nullptr, [&](PluginSide& h, TraceLine& t) {
        ToolRecord* tool = h.activeTool();
        t.result(tool == nullptr ? "NULL" : h.isHostTool(tool) ? "host-tool" : "tool");
        return tool;
    });
}

}  // extern "C"

}  // namespace

// The menu and toolbar entries are in menu_table.cpp.
void FillMenuEntries(ViewerTable& table);

const ViewerTable& ViewerTableInstance() {
    static const ViewerTable table = [] {
        ViewerTable v{};
        v.size = sizeof(ViewerTable);
        v.Alert = ViewerAlert;
        v.AlertNote = ViewerAlertNote;
        v.AlertConfirm = ViewerAlertConfirm;
        v.GetCancelCheck = ViewerGetCancelCheck;
        v.GetProgressMonitor = ViewerGetProgressMonitor;
        v.GetActiveDocWindow = ViewerGetActiveDocWindow;
        v.DocumentOf = ViewerDocumentOf;
        v.PageViewOf = ViewerPageViewOf;
        v.PageOf = ViewerPageOf;
        v.PageNumberOf = ViewerPageNumberOf;
        v.CloseDocWindow = ViewerCloseDocWindow;
        v.OpenDocFromFile = ViewerOpenDocFromFile;
        v.RectToDevice = ViewerRectToDevice;
        v.DeviceRectToPage = ViewerDeviceRectToPage;
        v.InvalidateRect = ViewerInvalidateRect;
        v.DrawNow = ViewerDrawNow;
        v.DrawRectOutline = ViewerDrawRectOutline;
        v.GetColor = ViewerGetColor;
        v.SetColor = ViewerSetColor;
        v.RegisterPageViewDrawing = ViewerRegisterPageViewDrawing;
        v.UnregisterPageViewDrawing = ViewerUnregisterPageViewDrawing;
        v.DragOutNewRect = ViewerDragOutNewRect;
        v.DragRect = ViewerDragRect;
        v.GetModifiers = ViewerGetModifiers;
        v.GetStandardCursor = ViewerGetStandardCursor;
        v.SetCursor = ViewerSetCursor;
        v.RegisterTool = ViewerRegisterTool;
        v.SetActiveTool = ViewerSetActiveTool;
        v.GetActiveTool = ViewerGetActiveTool;
        FillMenuEntries(v);
        return v;
    }();
    return table;
}

ProgressMonitor ProgressMonitorFor(const ProgressEntries& e) {
    ProgressMonitor m{};
    m.size = sizeof(ProgressMonitor);
    m.begin = e.begin ? &ProgressBegin : nullptr;
    m.end = e.end ? &ProgressEnd : nullptr;
    m.setDuration = e.duration ? &ProgressSetDuration : nullptr;
    m.setCurrentValue = e.value ? &ProgressSetCurrentValue : nullptr;
    return m;
}

}  // namespace vellora
