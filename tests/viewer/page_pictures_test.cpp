// SPDX-License-Identifier: AGPL-3.0-or-later
// Thumbnails, badges and the overlay's workers, with the real module: the
// plug-in's outlines on every page carried as the plug-in carries them,
// and the window's own view (and the region the plug-in holds) left as it
// was, even after a page whose rotation the region cannot be carried to.
#include "viewer/page_pictures.h"

#include "core/fixed_text.h"
#include "model/document.h"
#include "script/interpreter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

namespace vellora::viewer {
namespace {

constexpr int kMargin = 16;

bool HasOutline(const std::vector<DrawOp> &ops, const DeviceRect &r)
{
    return std::any_of(ops.begin(), ops.end(), [&](const DrawOp &op) {
        return op.rect.left == r.left && op.rect.top == r.top && op.rect.right == r.right &&
               op.rect.bottom == r.bottom;
    });
}

std::string OpsText(const std::vector<DrawOp> &ops)
{
    std::string text;
    for (const DrawOp &op : ops)
        text += std::to_string(op.rect.left) + "," + std::to_string(op.rect.top) + "," +
                std::to_string(op.rect.right) + "," + std::to_string(op.rect.bottom) + "/" +
                std::to_string(op.rgba) + " ";
    return text;
}

class Pictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        options.modulePath = VX_MODULE_PATH;
        options.out = &out;
        options.err = &err;
        interpreter = std::make_unique<Interpreter>("pictures test", options);
        run({"load"});
        run({"new", "doc", "5"});
    }
    void run(const std::vector<std::string> &words)
    {
        interpreter->runCommand(words);
    }
    // The whole host the interpreter started, as its owner sees it.
    Host &host()
    {
        interpreter->host();
        return *Host::current();
    }
    DocWindow &window()
    {
        return *host().activeWindow();
    }
    // The crop tool's region on page 1 at 100%, from page (100, 392) to (300, 692).
    void dragRegion()
    {
        run({"button", "ZUNO:TrimVex"});
        run({"drag", std::to_string(kMargin + 100), std::to_string(kMargin + 100),
             std::to_string(kMargin + 300), std::to_string(kMargin + 400)});
    }
    // The window's view drawn again from scratch, as after a page turn and back.
    std::vector<DrawOp> redrawWindow()
    {
        window().view().invalidateAll();
        host().idle();
        return window().view().ops();
    }

    ScriptRunOptions options;
    std::ostringstream out, err;
    std::unique_ptr<Interpreter> interpreter;
    Publication publication;
};

TEST_F(Pictures, EveryPageShowsTheRegionCarriedToItAndTheWindowKeepsItsOwn)
{
    // Page 3 turned by 45 degrees: the plug-in carries no region there.
    run({"page", "3", "rotate", "45"});
    run({"page", "4", "rotate", "90"});
    run({"page", "5", "media", "100", "200", "712", "992"});
    dragRegion();
    const std::optional<RegionSeen> before = host().region();
    ASSERT_TRUE(before) << err.str();
    const std::vector<DrawOp> own = redrawWindow();
    ASSERT_GE(own.size(), 5u);

    std::vector<std::pair<int, double>> pages;
    for (int p = 0; p < 5; ++p)
        pages.emplace_back(p, 20.0);
    std::map<int, std::vector<DrawOp>> drawn = DrawPagesAside(host(), window(), pages);
    ASSERT_EQ(drawn.size(), 5u);
    const DocumentBackend &b = window().document().backend();
    auto expected = [&](int page, const FixedRect &rect) {
        return PageRectToDevice(
            MakeViewGeometry(b.mediaBox(page), b.cropBox(page), b.rotation(page), 20.0), rect);
    };
    auto points = [](int l, int bottom, int r, int t) {
        return FixedRect{l * VX_FIXED_ONE, t * VX_FIXED_ONE, r * VX_FIXED_ONE,
                         bottom * VX_FIXED_ONE};
    };
    // The region as drawn, and about the middle of a media box that does not start at 0,0.
    EXPECT_TRUE(HasOutline(drawn[0], expected(0, points(100, 392, 300, 692)))) << OpsText(drawn[0]);
    EXPECT_TRUE(HasOutline(drawn[1], expected(1, points(100, 392, 300, 692)))) << OpsText(drawn[1]);
    EXPECT_TRUE(HasOutline(drawn[4], expected(4, points(200, 592, 400, 892)))) << OpsText(drawn[4]);
    // A quarter turn: the region turned about the page's middle.
    EXPECT_TRUE(HasOutline(drawn[3], expected(3, points(10, 190, 310, 390)))) << OpsText(drawn[3]);
    // The red media box is on every page.
    for (int p = 0; p < 5; ++p)
        EXPECT_TRUE(HasOutline(drawn[p], expected(p, b.mediaBox(p))))
            << "page " << p + 1 << ": " << OpsText(drawn[p]);

    // The window shows what it showed, the region the host saw is the same,
    // and the page after the 45-degree page was drawn from the window's region.
    EXPECT_EQ(OpsText(redrawWindow()), OpsText(own));
    ASSERT_TRUE(host().region());
    EXPECT_EQ(RectToText(host().region()->rect), RectToText(before->rect));

    // Drawn here instead, the same page would have lost the person's region.
    DocWindow scratch("", window().documentPtr());
    scratch.view().setPage(2);
    host().drawDetached(scratch.view());
    EXPECT_NE(OpsText(redrawWindow()), OpsText(own));
}

TEST_F(Pictures, ThumbnailsAndBadgesFollowTheCropBoxes)
{
    run({"page", "1", "crop", "100", "100", "400", "600", "bbox", "50", "50", "500", "700"});
    run({"page", "2", "crop", "100", "100", "400", "600", "bbox", "150", "150", "350", "550"});
    run({"page", "4", "bbox", "0", "0", "612", "792"});
    PagePictures pictures(host(), publication, nullptr, 2);
    pictures.want(1, 5);
    auto settle = [&] {
        for (int i = 0; i < 400; ++i) {
            pictures.update(false);
            if (!pictures.resultsWaiting()) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    settle();
    EXPECT_EQ(pictures.marksOutside(), std::make_pair(1, 5));
    const std::string state = pictures.json();
    EXPECT_NE(state.find("\"badges\":[1]"), std::string::npos) << state;
    // Every page in sight has its picture, served by its key.
    for (int p = 1; p <= 5; ++p)
        EXPECT_NE(state.find("[" + std::to_string(p) + ",\"thumb/t"), std::string::npos) << state;
    // A crop that cuts page 4's marks gives it a badge; page 1's crop to its
    // marks takes its badge away.
    run({"page", "4", "crop", "10", "10", "600", "780"});
    run({"page", "1", "crop", "50", "50", "500", "700"});
    pictures.update(true);
    settle();
    EXPECT_EQ(pictures.marksOutside(), std::make_pair(1, 5));
    EXPECT_NE(pictures.json().find("\"badges\":[4]"), std::string::npos) << pictures.json();
}

TEST_F(Pictures, PagesScrolledPastBeforeTheirTurnAreDrawnWhenBackInSight)
{
    run({"new", "long", "400"});
    PagePictures pictures(host(), publication, nullptr, 1);
    // Down the list and back faster than one worker draws.
    pictures.want(1, 10);
    pictures.update(false);
    pictures.want(300, 310);
    pictures.update(false);
    pictures.want(1, 10);
    for (int i = 0; i < 1000 && pictures.json().find("[10,\"thumb/") == std::string::npos; ++i) {
        pictures.update(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const std::string state = pictures.json();
    for (int p = 1; p <= 10; ++p)
        EXPECT_NE(state.find("[" + std::to_string(p) + ",\"thumb/t"), std::string::npos)
            << p << ": " << state;
}

// The first picture, made as the overlay is turned on, already has the page
// in view (summed from the view's own document, before any worker is
// through a page); later pages refine it at intervals.
TEST_F(Pictures, TheOverlaysFirstPictureHasThePageInViewAndIsRefinedAtIntervals)
{
    run({"new", "long", "20000"});
    PagePictures pictures(host(), publication, nullptr, 1);
    // The worker has thumbnails to draw first: the first picture cannot
    // owe its page to it.
    pictures.want(1, 48);
    pictures.update(false);
    pictures.setOverlay(true);
    const auto start = std::chrono::steady_clock::now();
    const std::string first = pictures.overlayImage(window().view());
    ASSERT_FALSE(first.empty());
    EXPECT_GE(pictures.overlayShown(), 1) << "the page in view waited for a worker";
    for (int i = 0; i < 5000 && pictures.overlayProgress().first <= pictures.overlayShown(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GT(pictures.overlayProgress().first, pictures.overlayShown());
    pictures.update(false);
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(400))
        GTEST_SKIP() << "the machine is too slow to tell a refinement from the interval";
    ASSERT_LT(pictures.overlayProgress().first, pictures.overlayProgress().second);
    EXPECT_EQ(pictures.overlayImage(window().view()), first) << "refined before the interval";
    EXPECT_FALSE(pictures.overlayChanged());
}

}  // namespace
}  // namespace vellora::viewer
