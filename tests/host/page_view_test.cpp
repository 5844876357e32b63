// What a page view shows: outlines kept as a list, erased where repainted.
#include "model/host.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vellora {
namespace {

class PageViewTest : public ::testing::Test {
protected:
    PageViewTest() : host(HostConfig(), out, err, "", false) {
        view = &host.openWindow(host.newMemoryDocument("doc", 1, 100 * 65536, 100 * 65536), "doc").view();
        host.idle();
    }
    std::ostringstream out, err;
    Host host;
    PageView* view = nullptr;
};

TEST_F(PageViewTest, RepaintingErasesOnlyTheInvalidPartOfAnOutline) {
    view->setColor(ColorValue{VX_COLOR_SPACE_RGB, {0, 0}, {65536, 0, 0, 0}});
    view->drawOutline(DeviceRect{20, 20, 80, 80}, 1);
    view->drawOutline(DeviceRect{40, 40, 50, 50}, 1);
    view->invalidate(DeviceRect{0, 0, 60, 60});
    view->repaintInvalid();
    // The small square lay wholly inside the repainted area and is gone.
    ASSERT_EQ(view->ops().size(), 1u);
    Raster r = view->rasterise();
    EXPECT_EQ(r.at(80, 80), 0xFF0000FFu);  // outside the repainted area: still red
    EXPECT_EQ(r.at(80, 20), 0xFF0000FFu);
    EXPECT_EQ(r.at(20, 20), 0xFFFFFFFFu);  // inside it: page white again
    EXPECT_EQ(r.at(45, 40), 0xFFFFFFFFu);
    // Drawing the same outline again does not pile up.
    view->drawOutline(DeviceRect{20, 20, 80, 80}, 1);
    EXPECT_EQ(view->ops().size(), 1u);
    EXPECT_EQ(view->rasterise().at(20, 20), 0xFF0000FFu);
}

TEST_F(PageViewTest, SnapshotsRefuseHugeRasters) {
    PageView& letter = host.openWindow(host.newMemoryDocument("letter", 1, 612 * 65536, 792 * 65536), "letter").view();
    letter.setZoom(2000.0);
    EXPECT_THROW(letter.rasterise(), HostError);
    Raster r = view->rasterise();
    EXPECT_EQ(r.width, 132);  // 100 points and a 16-pixel margin on each side
    EXPECT_EQ(r.height, 132);
    EXPECT_EQ(r.at(0, 0), 0xFF808080u);
}

}  // namespace
}  // namespace vellora

namespace vellora {
namespace {

TEST(Progress, LinesOrABarOnTheMessageStream) {
    std::ostringstream out, lines, bar;
    {
        Host host(HostConfig(), out, lines, "", false);
        for (const char* r : {"begin", "duration:4", "value:1", "end"}) host.progressUpdate(r);
        EXPECT_EQ(host.progressRecords.size(), 4u);
    }
    EXPECT_EQ(lines.str(), "progress: begin\nprogress: duration 4\nprogress: value 1\nprogress: end\n");
    {
        Host host(HostConfig(), out, bar, "", true);
        for (const char* r : {"begin", "duration:4", "value:2", "end"}) host.progressUpdate(r);
    }
    EXPECT_EQ(bar.str(), "\r[" + std::string(20, '#') + std::string(20, ' ') + "] 2/4\n");
}

}  // namespace
}  // namespace vellora
