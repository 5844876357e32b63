// SPDX-License-Identifier: AGPL-3.0-or-later
// The viewer's session with the real module, fed from its event queue as
// the server would feed it: the drag loops follow the mouse live, the
// dialog and the questions are answered from the same queue, Stop stops a
// run, and what is published is what the page needs.
#include "viewer/viewer_session.h"
#include "core/fixed_text.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <sstream>
#include <thread>

namespace vellora::viewer {
namespace {

constexpr int kMargin = 16;

UserEvent Mouse(UserEvent::Kind kind, int x, int y, uint16_t mods = 0)
{
    UserEvent e;
    e.kind = kind;
    e.x = x, e.y = y, e.modifiers = mods;
    return e;
}

UserEvent ModalEvent(UserEvent::Kind kind, int modal, int number, std::string key = {})
{
    UserEvent e;
    e.kind = kind;
    e.modal = modal;
    e.number = number;
    e.text = std::move(key);
    return e;
}

UserEvent Named(UserEvent::Kind kind, std::string name)
{
    UserEvent e;
    e.kind = kind;
    e.text = std::move(name);
    return e;
}

FixedRect Points(int l, int b, int r, int t)
{
    return FixedRect{l * VX_FIXED_ONE, t * VX_FIXED_ONE, r * VX_FIXED_ONE, b * VX_FIXED_ONE};
}

class Session : public ::testing::Test {
protected:
    void SetUp() override
    {
        options.modulePath = VX_MODULE_PATH;
        options.out = &out;
        options.err = &err;
        interpreter = std::make_unique<Interpreter>("viewer test", options);
        interpreter->runCommand({"load"});
        interpreter->runCommand({"new", "doc", "5"});
        session = std::make_unique<ViewerSession>(*interpreter, events, publication, err);
        session->handle(Named(UserEvent::Button, "ZUNO:TrimVex"));
        // A modal loop left waiting is the person gone, not a hung test. The
        // limit leaves room for a 16 M-pixel rendering on a loaded machine.
        watchdog = std::thread([this] {
            std::unique_lock<std::mutex> lock(doneMutex);
            if (!doneChanged.wait_for(lock, std::chrono::seconds(120), [this] { return done; })) {
                ADD_FAILURE() << "a modal loop waited for input that never came";
                events.close();
            }
        });
    }
    void TearDown() override
    {
        {
            std::lock_guard<std::mutex> lock(doneMutex);
            done = true;
        }
        doneChanged.notify_all();
        watchdog.join();
        session.reset();
        interpreter.reset();
    }

    // The whole host the interpreter started, as its owner sees it.
    Host &host()
    {
        interpreter->host();
        return *Host::current();
    }
    FixedRect crop(int page)
    {
        return host().activeWindow()->document().backend().cropBox(page - 1);
    }
    // Page 1 at 100%: device (16 + x, 16 + 792 - y) is the page point (x, y).
    void dragRegion()
    {
        events.push(Mouse(UserEvent::Move, 200, 200));
        events.push(Mouse(UserEvent::Move, 316, 416));
        events.push(Mouse(UserEvent::Release, 316, 416));
        session->handle(Mouse(UserEvent::Press, kMargin + 100, kMargin + 100));
    }

    // The run stopped with its note, and every page has its box back:
    // nothing is changed.
    void expectStoppedAndGivenBack()
    {
        Document &doc = host().activeWindow()->document();
        for (int page = 0; page < doc.pageCount(); ++page)
            ASSERT_EQ(RectToText(doc.backend().cropBox(page)), RectToText(Points(0, 0, 612, 792)))
                << page;
        ASSERT_FALSE(host().alertsShown().empty());
        EXPECT_NE(host().alertsShown().back().text.find("ancel"), std::string::npos)
            << host().alertsShown().back().text;
        EXPECT_FALSE(doc.modified());
    }

    ScriptRunOptions options;
    std::ostringstream out, err;
    std::unique_ptr<Interpreter> interpreter;
    UserEventQueue events;
    Publication publication;
    std::unique_ptr<ViewerSession> session;
    std::thread watchdog;
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    bool done = false;
};

TEST_F(Session, TheDragLoopFollowsTheMouseToItsRelease)
{
    uint64_t framesBefore = publication.current().frameVersion;
    dragRegion();
    std::optional<RegionSeen> region = host().region();
    ASSERT_TRUE(region) << err.str();
    EXPECT_EQ(RectToText(region->rect), RectToText(Points(100, 392, 300, 692)));
    EXPECT_EQ(events.size(), 0u);
    // Every step of the drag was pushed as a frame, the rubber band gone at the end.
    EXPECT_GE(publication.current().frameVersion - framesBefore, 3u);
    EXPECT_EQ(publication.current().frame.find("\"band\":null") != std::string::npos, true);
    EXPECT_FALSE(host().activeWindow()->view().rubberBand);
}

TEST_F(Session, ACornerDragMovesOnlyThatCorner)
{
    dragRegion();
    events.push(Mouse(UserEvent::Move, 350, 450));
    events.push(Mouse(UserEvent::Release, 346, 456));
    session->handle(Mouse(UserEvent::Press, 316, 416));  // the bottom right corner
    ASSERT_TRUE(host().region());
    EXPECT_EQ(RectToText(host().region()->rect), RectToText(Points(100, 352, 330, 692)));
}

TEST_F(Session, SetDragsTheTypedRegionOutThroughTheDragLoopInPlaceOfTheOneHeld)
{
    dragRegion();
    uint64_t framesBefore = publication.current().frameVersion;
    session->handle(Named(UserEvent::SetRegion, "72 144 500 700"));
    ASSERT_TRUE(host().region()) << err.str();
    EXPECT_EQ(RectToText(host().region()->rect), RectToText(Points(72, 144, 500, 700)));
    // Shown as a person's drag is: the rubber band published, then gone.
    EXPECT_GE(publication.current().frameVersion - framesBefore, 2u);
    const std::string frame = publication.current().frame;
    EXPECT_NE(frame.find("\"region\":[72,144,500,700]"), std::string::npos) << frame;
    EXPECT_NE(frame.find("\"bandPage\":null"), std::string::npos);
    EXPECT_NE(frame.find("\"pixel\":1"), std::string::npos);
    // The click that let go of the old region cropped nothing.
    EXPECT_EQ(RectToText(crop(1)), RectToText(Points(0, 0, 612, 792)));
    EXPECT_FALSE(host().activeWindow()->document().modified());
}

TEST_F(Session, SetRefusesWhatIsNoRegionAndTheHostsOwnTools)
{
    const std::pair<const char *, const char *> cases[] = {
        {"72 144 500", "give four numbers"},
        {"72 144 wide 700", "\\\"wide\\\" is not a number"},
        {"500 144 72 700", "left must be less than right"},
        {"72 700 500 144", "left must be less than right"},
    };
    for (const auto &[text, want] : cases) {
        session->handle(Named(UserEvent::SetRegion, text));
        EXPECT_NE(publication.current().state.find(want), std::string::npos) << text;
        EXPECT_FALSE(host().region()) << text;
    }
    session->handle(Named(UserEvent::Button, "Hand"));
    session->handle(Named(UserEvent::SetRegion, "72 144 500 700"));
    EXPECT_NE(publication.current().state.find("choose the crop tool first"), std::string::npos);
}

TEST_F(Session, TheDialogAndTheCropRunTakeTheirAnswersFromTheQueue)
{
    dragRegion();
    // Odd Pages, then OK: the dialog is the first modal of the session.
    events.push(ModalEvent(UserEvent::DialogClick, 1, 1021));
    events.push(ModalEvent(UserEvent::DialogClick, 1, 1));
    session->handle(Mouse(UserEvent::Press, 200, 200));
    EXPECT_EQ(RectToText(crop(1)), RectToText(Points(100, 392, 300, 692))) << err.str();
    EXPECT_EQ(RectToText(crop(2)), RectToText(Points(0, 0, 612, 792)));
    EXPECT_EQ(RectToText(crop(5)), RectToText(Points(100, 392, 300, 692)));
    EXPECT_TRUE(host().activeWindow()->document().modified());
    EXPECT_EQ(publication.current().state.find("\"modal\":null") != std::string::npos, true);
}

TEST_F(Session, EscapeAndTheCloseBoxCropNothing)
{
    dragRegion();
    events.push(ModalEvent(UserEvent::DialogKey, 1, 0, "escape"));
    session->handle(Mouse(UserEvent::Press, 200, 200));
    EXPECT_FALSE(host().region()) << "a cancelled crop lets go of the region";
    dragRegion();
    events.push(ModalEvent(UserEvent::DialogKey, 2, 0, "close"));
    session->handle(Mouse(UserEvent::Press, 200, 200));
    for (int page = 1; page <= 5; ++page)
        EXPECT_EQ(RectToText(crop(page)), RectToText(Points(0, 0, 612, 792)));
    EXPECT_FALSE(host().activeWindow()->document().modified());
    EXPECT_EQ(host().alertsShown().size(), 0u);
}

TEST_F(Session, AnswersForAnotherModalAndStrayInputAreNotTaken)
{
    dragRegion();
    // A late OK of a modal long gone, a hover and a menu choice while the
    // dialog is up: none of them answers it; Cancel does.
    events.push(ModalEvent(UserEvent::DialogClick, 7, 1));
    events.push(Mouse(UserEvent::Hover, 5, 5));
    events.push(Named(UserEvent::Menu, "ZUNO:TrimVexBBox"));
    events.push(ModalEvent(UserEvent::DialogClick, 1, 2));
    session->handle(Mouse(UserEvent::Press, 200, 200));
    EXPECT_FALSE(host().activeWindow()->document().modified());
    EXPECT_EQ(events.size(), 0u);
}

TEST_F(Session, StopDuringARunGivesThePagesBack)
{
    interpreter->runCommand({"new", "big", "3000"});
    session->handle(Named(UserEvent::Button, "ZUNO:TrimVex"));
    dragRegion();
    events.push(ModalEvent(UserEvent::DialogClick, 1, 1020));  // All Pages
    events.push(ModalEvent(UserEvent::DialogClick, 1, 1));
    UserEvent stop;
    stop.kind = UserEvent::Stop;
    events.push(stop);
    // The plug-in's note that it stopped is the next modal; the person
    // answers it once it shows, as the page would.
    std::thread person([&] {
        while (publication.current().state.find("\"serial\":2") == std::string::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        events.push(ModalEvent(UserEvent::Answer, 2, 1));
    });
    session->handle(Mouse(UserEvent::Press, 200, 200));
    person.join();
    expectStoppedAndGivenBack();
}

// Stop pressed just before the run's question replaced the bar: the
// question is answered, and the run stops at the next page.
TEST_F(Session, StopBeforeTheRunsQuestionStopsTheRunAfterIt)
{
    interpreter->runCommand({"new", "turned", "3000"});
    interpreter->runCommand({"page", "2000", "rotate", "90"});
    session->handle(Named(UserEvent::Button, "ZUNO:TrimVex"));
    dragRegion();
    events.push(ModalEvent(UserEvent::DialogClick, 1, 1020));  // All Pages
    events.push(ModalEvent(UserEvent::DialogClick, 1, 1));
    std::thread person([&] {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        auto waitFor = [&](const char *text) {
            while (publication.current().state.find(text) == std::string::npos) {
                if (std::chrono::steady_clock::now() > limit) return false;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            return true;
        };
        if (!waitFor("orientation")) return;
        UserEvent stop;
        stop.kind = UserEvent::Stop;
        events.push(stop);
        events.push(ModalEvent(UserEvent::Answer, 2, 1));  // Crop
        if (waitFor("\"serial\":3")) events.push(ModalEvent(UserEvent::Answer, 3, 1));
    });
    session->handle(Mouse(UserEvent::Press, 200, 200));
    person.join();
    expectStoppedAndGivenBack();
}

// The plug-in's progress calls reach the page's bar as numbers, not text.
TEST_F(Session, ProgressRecordsReachThePage)
{
    LiveInput &live = *session;
    live.showProgress({ProgressEvent::Begin, 0});
    live.showProgress({ProgressEvent::Duration, 3000});
    // Values come at most 25 times a second; this one comes after a pause.
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    live.showProgress({ProgressEvent::Value, 1234});
    EXPECT_NE(publication.current().state.find("\"progress\":{\"value\":1234,\"duration\":3000}"),
              std::string::npos)
        << publication.current().state;
    live.showProgress({ProgressEvent::End, 0});
    EXPECT_NE(publication.current().state.find("\"progress\":null"), std::string::npos)
        << publication.current().state;
}

UserEvent PageGone()
{
    UserEvent e;
    e.kind = UserEvent::PageGone;
    return e;
}

TEST_F(Session, ADragWhosePageWentAwayIsCancelled)
{
    // A new region: the page reloads half way; nothing is drawn, and the
    // next press is a press again, not the end of the old drag.
    events.push(Mouse(UserEvent::Move, 300, 300));
    events.push(PageGone());
    session->handle(Mouse(UserEvent::Press, kMargin + 100, kMargin + 100));
    EXPECT_FALSE(host().region());
    EXPECT_FALSE(host().activeWindow()->view().rubberBand);
    // A corner moved half way: the region stays where it was.
    dragRegion();
    events.push(Mouse(UserEvent::Move, 400, 500));
    events.push(PageGone());
    session->handle(Mouse(UserEvent::Press, 316, 416));
    ASSERT_TRUE(host().region());
    EXPECT_EQ(RectToText(host().region()->rect), RectToText(Points(100, 392, 300, 692)));
    // Outside a drag it changes nothing.
    session->handle(PageGone());
    EXPECT_TRUE(host().region());
}

TEST_F(Session, AZoomTooLargeShowsTheLargestThatCanBeShown)
{
    UserEvent z;
    z.kind = UserEvent::Zoom;
    z.number = 6400;
    session->handle(z);
    PageView &view = host().activeWindow()->view();
    EXPECT_TRUE(ViewerSession::showable(view));
    EXPECT_LT(view.zoom(), 6400);
    EXPECT_GT(view.zoom(), 400);
    const double shown = view.zoom();
    view.setZoom(shown + 1);
    EXPECT_FALSE(ViewerSession::showable(view)) << "not the largest zoom";
    view.setZoom(shown);
    const Publication::Snapshot now = publication.current();
    EXPECT_NE(now.frame.find("\"image\":\"view/"), std::string::npos)
        << "no rendering: " << now.frame;
    EXPECT_NE(now.state.find("too large to show at 6400%"), std::string::npos) << now.state;
}

TEST_F(Session, WindowsAreChosenByNumberAndShownWhateverTheirNames)
{
    interpreter->runCommand({"new", "caf\xe9.pdf", "2"});
    session->publish();
    std::string state = publication.current().state;
    EXPECT_NE(state.find("\"name\":\"caf\\\\xE9.pdf\""), std::string::npos) << state;
    EXPECT_NE(state.find("\"activeIndex\":1"), std::string::npos) << state;
    UserEvent first;
    first.kind = UserEvent::Activate;
    first.number = 1;
    session->handle(first);
    EXPECT_EQ(host().activeWindow()->name(), "doc");
    first.number = 2;
    session->handle(first);
    EXPECT_EQ(host().activeWindow()->name(), "caf\xe9.pdf");
    first.number = 3;  // no such window: nothing happens
    session->handle(first);
    EXPECT_EQ(host().activeWindow()->name(), "caf\xe9.pdf");
    // A host error reaches the status bar as a sentence, without a command's usage.
    session->handle(Named(UserEvent::Activate, "gone.pdf"));
    state = publication.current().state;
    EXPECT_EQ(state.find("usage"), std::string::npos) << state;
    EXPECT_NE(state.find("\"messageKind\":\"error\""), std::string::npos) << state;
    EXPECT_NE(err.str().find("gone.pdf"), std::string::npos) << "also on standard error";
}

TEST_F(Session, HoverPublishesThePlugInsCursorsWithTheirHotSpots)
{
    dragRegion();
    session->handle(Mouse(UserEvent::Hover, 200, 200));
    std::string state = publication.current().state;
    EXPECT_NE(state.find("\"url\":\"asset/cursor-112.png\""), std::string::npos) << state;
    EXPECT_TRUE(publication.asset("cursor-112.png"));
    session->handle(Mouse(UserEvent::Hover, 316, 416));
    EXPECT_NE(publication.current().state.find("\"cursor\":null"), std::string::npos)
        << "the arrow on a corner";
    session->handle(Mouse(UserEvent::Hover, 600, 700));
    EXPECT_NE(publication.current().state.find("cursor-102.png"), std::string::npos);
}

TEST_F(Session, MenusAreAskedWhenTheyOpenAndQuitEndsTheSession)
{
    std::string before = publication.current().state;
    EXPECT_NE(before.find("\"enabled\":null"), std::string::npos)
        << "no item is asked before its menu opens";
    UserEvent open = Named(UserEvent::MenuOpen, "Extensions");
    open.number = 4;
    session->handle(open);
    std::string state = publication.current().state;
    EXPECT_NE(state.find("\"menuAnswered\":4"), std::string::npos);
    EXPECT_NE(
        state.find(
            "\"name\":\"ZUNO:TVHideMediaBox\",\"title\":\"H&ide Media Box\",\"enabled\":true"),
        std::string::npos)
        << state;
    EXPECT_NE(state.find("\"title\":\"Trim Vex - used to crop pages\""), std::string::npos);
    EXPECT_NE(state.find("\"asset/bitmap-101.png\""), std::string::npos);
    // Save As (named on the page) and Exit are the viewer's own, and enabled.
    open = Named(UserEvent::MenuOpen, "File");
    open.number = 5;
    session->handle(open);
    state = publication.current().state;
    EXPECT_NE(state.find("\"name\":\"Quit\",\"title\":\"E&xit\",\"enabled\":true"),
              std::string::npos)
        << state;
    events.push(Named(UserEvent::Menu, "Quit"));
    EXPECT_TRUE(session->run());
}

TEST_F(Session, TheCachedRenderingIsKeptWhileOnlyOutlinesChange)
{
    session->publish();
    std::string frame = publication.current().frame;
    auto image = [](const std::string &f) { return f.substr(f.find("\"image\":"), 24); };
    dragRegion();
    EXPECT_EQ(image(publication.current().frame), image(frame)) << "a drag renders the page again";
    session->handle([] {
        UserEvent z;
        z.kind = UserEvent::Zoom;
        z.number = 200;
        return z;
    }());
    EXPECT_NE(image(publication.current().frame), image(frame));
}

}  // namespace
}  // namespace vellora::viewer
