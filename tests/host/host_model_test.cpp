// SPDX-License-Identifier: AGPL-3.0-or-later
// The host's model through the tables the plug-in uses.
#include "core/fixed_text.h"
#include "interface/boundary.h"
#include "interface/tables.h"
#include "model/host.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vellora {
namespace {

class HostTest : public ::testing::Test {
protected:
    HostTest() : host(HostConfig(), err, "", false) {
        PublishTables(host);
        window = &host.openWindow(host.newMemoryDocument("doc", 3, 612 * 65536, 792 * 65536), "doc");
    }
    ::Document Doc() { return reinterpret_cast<::Document>(&window->document()); }
    ::PageView View() { return reinterpret_cast<::PageView>(&window->view()); }

    std::ostringstream err;
    Host host;
    DocWindow* window = nullptr;
    const ModelTable& model = ModelTableInstance();
    const ViewerTable& viewer = ViewerTableInstance();
};

TEST_F(HostTest, PageReferencesHeldAtTheEndAreReported) {
    Page a = model.AcquirePage(Doc(), 1);
    Page b = model.AcquirePage(Doc(), 1);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    model.ReleasePage(a);
    std::vector<std::string> leaks = host.leaks();
    ASSERT_EQ(leaks.size(), 1u);
    EXPECT_NE(leaks[0].find("page 2 of \"doc\" (1 reference)"), std::string::npos) << leaks[0];
    model.ReleasePage(b);
    EXPECT_TRUE(host.leaks().empty());
    EXPECT_FALSE(host.takePluginError());
    // One release too many is the plug-in's error, not a crash.
    model.ReleasePage(b);
    auto error = host.takePluginError();
    ASSERT_TRUE(error);
    EXPECT_NE(error->message.find("Model.ReleasePage"), std::string::npos);
}

// Item references by name and paths count as page references do: held at
// the end is reported, released once too often is the plug-in's error. A
// reference taken with AcquireMenuItem keeps an item alive and may be kept.
TEST_F(HostTest, ItemAndPathReferencesHeldAtTheEndAreReported) {
    const SupportTable& support = SupportTableInstance();
    MenuItem item = viewer.AcquireMenuItemByName(viewer.GetMenubar(), "SaveAs");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(viewer.AcquireMenuItem(item), item);
    window->document().setFile("kept.pdf");
    host.addHandle(window->document().file(), kFileKind);
    HostPath path = support.AcquireFilePath(model.DocumentFile(Doc()));
    ASSERT_NE(path, nullptr);
    std::vector<std::string> leaks = host.leaks();
    ASSERT_EQ(leaks.size(), 2u);
    EXPECT_NE(leaks[0].find("1 reference(s) to menu item \"SaveAs\" acquired by name"), std::string::npos) << leaks[0];
    EXPECT_NE(leaks[1].find("path \"kept.pdf\" from Support.AcquireFilePath"), std::string::npos) << leaks[1];
    viewer.ReleaseMenuItem(item);
    support.ReleaseFilePath(path);
    EXPECT_TRUE(host.leaks().empty());
    viewer.ReleaseMenuItem(item);
    EXPECT_TRUE(host.leaks().empty());
    EXPECT_FALSE(host.takePluginError());
    viewer.ReleaseMenuItem(item);
    auto error = host.takePluginError();
    ASSERT_TRUE(error);
    EXPECT_NE(error->message.find("menu item \"SaveAs\" was released more often"), std::string::npos) << error->message;
    support.ReleaseFilePath(path);
    error = host.takePluginError();
    ASSERT_TRUE(error);
    EXPECT_NE(error->message.find("path \"kept.pdf\" was released more often"), std::string::npos) << error->message;
    // A released path opens nothing.
    EXPECT_EQ(viewer.OpenDocFromFile(path, support.DefaultFileSystem(), nullptr), nullptr);
    EXPECT_TRUE(host.takePluginError());
    EXPECT_TRUE(host.leaks().empty());
}

TEST_F(HostTest, BadArgumentsGiveNeutralResultsAndAnError) {
    EXPECT_EQ(model.AcquirePage(Doc(), 3), nullptr);
    EXPECT_TRUE(host.takePluginError());
    // A page view passed where a page is wanted is caught by the handle check.
    EXPECT_EQ(model.PageRotation(reinterpret_cast<Page>(View())), 0);
    auto error = host.takePluginError();
    ASSERT_TRUE(error);
    EXPECT_NE(error->message.find("not a live page handle"), std::string::npos) << error->message;
    EXPECT_EQ(model.PageCount(nullptr), 0);
    EXPECT_TRUE(host.takePluginError());
    FixedRect box{};
    model.GetCropBox(model.AcquirePage(Doc(), 0), &box);
    EXPECT_EQ(RectToText(box), "0 0 612 792");
    model.ReleasePage(viewer.PageOf(View()));
    EXPECT_FALSE(host.takePluginError());
    // One release too many is the plug-in's error; the count stays at zero.
    model.ReleasePage(viewer.PageOf(View()));
    error = host.takePluginError();
    ASSERT_TRUE(error);
    EXPECT_NE(error->message.find("page index 0 was released more often than acquired"), std::string::npos)
        << error->message;
    Page again = model.AcquirePage(Doc(), 0);
    model.ReleasePage(again);
    EXPECT_FALSE(host.takePluginError());
}

TEST_F(HostTest, SetCropBoxKeepsTheSidesAndMarksTheDocumentModified) {
    Page p = model.AcquirePage(Doc(), 0);
    EXPECT_EQ(model.DocumentFlags(Doc()), 0u);
    model.SetCropBox(p, 300 * 65536, 100 * 65536, 100 * 65536, 400 * 65536);  // inverted on purpose
    FixedRect box{};
    model.GetCropBox(p, &box);
    EXPECT_EQ(box.left, 300 * 65536);
    EXPECT_EQ(box.top, 100 * 65536);
    EXPECT_EQ(model.DocumentFlags(Doc()), VX_DOC_MODIFIED);
    window->document().overridePermissions(0);
    model.SetCropBox(p, 0, 1, 2, 3);
    EXPECT_TRUE(host.takePluginError());
    model.ReleasePage(p);
}

// A drawing routine that outlines a region with its four handles, and
// asks for DrawNow from inside, as the crop tool does.
int g_drawCalls = 0;
extern "C" void DrawRegion(::PageView view, void*) {
    ++g_drawCalls;
    const ViewerTable& v = ViewerTableInstance();
    FixedRect region{100 * 65536, 500 * 65536, 300 * 65536, 200 * 65536};
    DeviceRect d;
    v.RectToDevice(view, &region, &d);
    v.DrawRectOutline(view, &d, 1, nullptr, 0);
    for (auto [x, y] : {std::pair{d.left, d.top}, {d.right, d.top}, {d.right, d.bottom}, {d.left, d.bottom}}) {
        DeviceRect h{int16_t(x - 3), int16_t(y - 3), int16_t(x + 3), int16_t(y + 3)};
        v.DrawRectOutline(view, &h, 1, nullptr, 0);
    }
    v.DrawNow(view);
}

extern "C" void DrawPlainBox(::PageView view, void*) {
    DeviceRect d{10, 10, 50, 50};
    ViewerTableInstance().DrawRectOutline(view, &d, 1, nullptr, 0);
}

TEST_F(HostTest, ARegionWithHandlesIsSeenWhileItsRoutineIsRegistered) {
    HostCallback region = host.makeCallback(host.extensionId(), reinterpret_cast<HostProc>(&DrawRegion));
    HostCallback plain = host.makeCallback(host.extensionId(), reinterpret_cast<HostProc>(&DrawPlainBox));
    viewer.RegisterPageViewDrawing(plain, nullptr);
    host.idle();
    EXPECT_FALSE(host.region());
    g_drawCalls = 0;
    viewer.RegisterPageViewDrawing(region, nullptr);
    DeviceRect all{0, 0, 2000, 2000};
    viewer.InvalidateRect(View(), &all);
    viewer.DrawNow(View());
    EXPECT_EQ(g_drawCalls, 1);  // its own DrawNow did not call it again
    ASSERT_TRUE(host.region());
    EXPECT_EQ(RectToText(host.region()->rect), "100 200 300 500");
    EXPECT_EQ(host.region()->page, 0);
    // Nothing invalid: DrawNow draws nothing.
    viewer.DrawNow(View());
    EXPECT_EQ(g_drawCalls, 1);
    viewer.UnregisterPageViewDrawing(region);
    EXPECT_FALSE(host.region());
    EXPECT_FALSE(host.takePluginError());
}

TEST_F(HostTest, ColourIsThePageViewsAndUnknownSpacesAreRefused) {
    ColorValue red{VX_COLOR_SPACE_RGB, {0, 0}, {65536, 0, 0, 0}};
    ColorValue saved{};
    viewer.GetColor(View(), &saved);
    viewer.SetColor(View(), &red);
    DeviceRect d{1, 2, 30, 40};
    viewer.DrawRectOutline(View(), &d, 1, nullptr, 0);
    ASSERT_EQ(window->view().ops().size(), 1u);
    EXPECT_EQ(window->view().ops()[0].rgba, 0xFF0000FFu);
    ColorValue bad{9, {0, 0}, {0, 0, 0, 0}};
    viewer.SetColor(View(), &bad);
    EXPECT_TRUE(host.takePluginError());
    ColorValue now{};
    viewer.GetColor(View(), &now);
    EXPECT_EQ(now.space, VX_COLOR_SPACE_RGB);
}

TEST_F(HostTest, AllocationsAreTrackedAndCanBeRefused) {
    const SupportTable& support = SupportTableInstance();
    void* block = support.Allocate(48);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(host.leaks().size(), 1u);
    support.Free(block);
    EXPECT_TRUE(host.leaks().empty());
    support.Free(block);  // twice
    EXPECT_TRUE(host.takePluginError());
}

TEST(HostAllocation, ARefusingHostAnswersNoBlock) {
    std::ostringstream err;
    HostConfig config;
    config.allocateRefused = true;
    Host host(config, err, "", false);
    PublishTables(host);
    EXPECT_EQ(SupportTableInstance().Allocate(48), nullptr);
    EXPECT_TRUE(host.leaks().empty());
}

TEST_F(HostTest, DragLoopsFollowTheGesture) {
    host.setGesture(Gesture{50, 60, 8});
    DeviceRect out{};
    viewer.DragOutNewRect(View(), 100, 20, &out);
    EXPECT_EQ(out.left, 50);
    EXPECT_EQ(out.top, 20);
    EXPECT_EQ(out.right, 100);
    EXPECT_EQ(out.bottom, 60);
    EXPECT_EQ(viewer.GetModifiers(), 8);
    DeviceRect start{10, 10, 100, 100};
    viewer.DragRect(View(), 100, 100, &start, &out, VX_DRAG_BOTTOM_RIGHT, nullptr);
    EXPECT_EQ(out.right, 50);
    EXPECT_EQ(out.bottom, 60);
    viewer.DragRect(View(), 10, 10, &start, &out, VX_DRAG_TOP_LEFT, nullptr);
    EXPECT_EQ(out.left, 50);
    EXPECT_EQ(out.top, 60);
    viewer.DragRect(View(), 0, 0, &start, &out, VX_DRAG_WHOLE, nullptr);
    EXPECT_EQ(out.left, 60);
    EXPECT_EQ(out.bottom, 160);
    host.setGesture(std::nullopt);
    viewer.DragOutNewRect(View(), 7, 9, &out);
    EXPECT_EQ(out.left, out.right);
    EXPECT_EQ(out.top, out.bottom);
    viewer.DragRect(View(), 0, 0, &start, &out, 5, nullptr);
    EXPECT_TRUE(host.takePluginError());
}

// Closing a modified window without the no-save flag asks first: Don't
// Save closes and drops the changes, Cancel keeps the window.
TEST_F(HostTest, ClosingAModifiedWindowAsksWhetherToSave) {
    ::DocWindow handle = reinterpret_cast<::DocWindow>(window);
    window->document().setModified(true);
    host.queueAnswer("Cancel");
    EXPECT_EQ(viewer.CloseDocWindow(handle, VX_FALSE), VX_FALSE);
    EXPECT_EQ(host.activeWindow(), window);
    host.queueAnswer("Don't Save");
    EXPECT_EQ(viewer.CloseDocWindow(handle, VX_FALSE), VX_TRUE);
    EXPECT_EQ(host.activeWindow(), nullptr);
    EXPECT_TRUE(host.windows().empty());
    ASSERT_EQ(host.alertsShown().size(), 2u);
    EXPECT_EQ(host.alertsShown()[1].text, "Save changes to \"doc\" before closing?");
    EXPECT_EQ(host.alertsShown()[1].answer, "Don't Save");
    EXPECT_FALSE(host.takePluginError());
    // The window is gone: its handle is no longer live.
    EXPECT_EQ(viewer.CloseDocWindow(handle, VX_TRUE), VX_FALSE);
    EXPECT_TRUE(host.takePluginError());
}

// A dragged corner stops at the limits; a rectangle dragged whole is
// shifted back inside them, keeping its size.
TEST_F(HostTest, DragLimitsClampCornersAndShiftTheWhole) {
    const DeviceRect start{100, 100, 200, 200};
    const DeviceRect limits{50, 60, 300, 260};
    // Pressed at (x, y), released at (endX, endY).
    auto drag = [&](int16_t x, int16_t y, int16_t endX, int16_t endY, int32_t kind) {
        host.setGesture(Gesture{endX, endY, 0});
        DeviceRect out{};
        viewer.DragRect(View(), x, y, &start, &out, kind, &limits);
        return ShowDevice(out);
    };
    EXPECT_EQ(drag(200, 100, 400, 10, VX_DRAG_TOP_RIGHT), "dev[100 60 300 200]");
    EXPECT_EQ(drag(100, 200, 0, 500, VX_DRAG_BOTTOM_LEFT), "dev[50 100 200 260]");
    EXPECT_EQ(drag(150, 150, 500, 500, VX_DRAG_WHOLE), "dev[200 160 300 260]");
    EXPECT_EQ(drag(150, 150, 0, 0, VX_DRAG_WHOLE), "dev[50 60 150 160]");
    EXPECT_FALSE(host.takePluginError());
}

// A front end's own behaviour for the host's items and buttons: it replaces
// the host's enabled test, and its own item is added once, where asked.
TEST_F(HostTest, AFrontEndSaysWhenItemsAreEnabledAndAddsItsOwnItemOnce) {
    bool open = false;
    EXPECT_TRUE(host.setItemEnabledWhen("Open", [&] { return open; }));
    EXPECT_TRUE(host.setButtonEnabledWhen("Open", [&] { return open; }));
    EXPECT_FALSE(host.setItemEnabledWhen("NoSuchItem", [] { return true; }));
    EXPECT_FALSE(host.setButtonEnabledWhen("NoSuchButton", [] { return true; }));
    EXPECT_FALSE(host.enabled(*host.findItem("Open")));
    EXPECT_FALSE(host.enabled(*host.findButton("Open")));
    open = true;
    EXPECT_TRUE(host.enabled(*host.findItem("Open")));
    EXPECT_TRUE(host.enabled(*host.findButton("Open")));

    int done = 0;
    bool on = false;
    auto overlay = [&] { return HostItemBehaviour{[&] { ++done; }, [] { return true; }, [&] { return on; }}; };
    host.appendFrontEndItem("View", "O&verlay", "Overlay", overlay());
    host.appendFrontEndItem("View", "O&verlay", "Overlay", overlay());
    host.appendFrontEndItem("NoSuchMenu", "Elsewhere", "Elsewhere", overlay());
    EXPECT_EQ(host.findItem("Elsewhere"), nullptr);
    MenuItemObj* item = host.findItem("Overlay");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(host.checked<MenuItemObj>(item, kItemKind), item);  // the plug-in may be handed it
    MenuObj* view = host.findMenu("View");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(host.menubar().indexOf(*view, *item), static_cast<int32_t>(view->items.size()) - 1);
    EXPECT_FALSE(host.marked(*item));
    on = true;
    EXPECT_TRUE(host.marked(*item));
    host.execute(*item);
    EXPECT_EQ(done, 1);
    EXPECT_TRUE(host.leaks().empty());
}

}  // namespace
}  // namespace vellora
