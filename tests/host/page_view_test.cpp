// SPDX-License-Identifier: AGPL-3.0-or-later
// What a page view shows: outlines kept as a list, erased where repainted.
#include "model/host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sstream>

namespace vellora {
namespace {

class PageViewTest : public ::testing::Test {
protected:
    PageViewTest() : host(HostConfig(), err, "", false) {
        view = &host.openWindow(host.newMemoryDocument("doc", 1, 100 * 65536, 100 * 65536), "doc").view();
        host.idle();
    }
    std::ostringstream err;
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

TEST(Progress, LinesOnlyWhenVerboseABarOnATerminal) {
    const ProgressRecord run[] = {
        {ProgressEvent::Begin, 0}, {ProgressEvent::Duration, 4}, {ProgressEvent::Value, 1}, {ProgressEvent::End, 0}};
    std::ostringstream lines, quiet, bar;
    {
        Host host(HostConfig(), lines, "", false, true);
        for (const ProgressRecord& r : run) host.progressUpdate(r.event, r.value);
        EXPECT_EQ(host.progressRecords().size(), 4u);
    }
    EXPECT_EQ(lines.str(), "progress: begin\nprogress: duration 4\nprogress: value 1\nprogress: end\n");
    {
        Host host(HostConfig(), quiet, "", false, false);
        for (const ProgressRecord& r : run) host.progressUpdate(r.event, r.value);
        EXPECT_EQ(host.progressRecords().size(), 4u);  // kept for `expect progress`, not shown
    }
    EXPECT_EQ(quiet.str(), "");
    {
        Host host(HostConfig(), bar, "", true, false);
        for (const ProgressRecord& r : run) host.progressUpdate(r.event, r.value == 1 ? 2 : r.value);
    }
    EXPECT_EQ(bar.str(), "\r[" + std::string(20, '#') + std::string(20, ' ') + "] 2/4\n");
}

// Ten redraws a second at most; the last value is shown before the end.
TEST(Progress, AtMostTenUpdatesASecond) {
    using namespace std::chrono;
    steady_clock::time_point now{};
    auto clock = [&] { return now; };
    std::ostringstream lines, bar;
    ProgressDisplay shown(lines, false, true, clock);
    ProgressDisplay drawn(bar, true, false, clock);
    for (ProgressDisplay* d : {&shown, &drawn}) {
        now = steady_clock::time_point{};
        d->update({ProgressEvent::Begin, 0});
        d->update({ProgressEvent::Duration, 1000});
        for (int32_t v = 1; v <= 1000; ++v) {
            now += milliseconds(1);  // one second for the run
            d->update({ProgressEvent::Value, v});
        }
        d->update({ProgressEvent::End, 0});
    }
    std::string text = lines.str();
    // begin, duration, values 1, 101, ... 901, then 1000 before the end
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + 10 + 1 + 1);
    const std::string tail = "progress: value 1000\nprogress: end\n";
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_NE(text.find("progress: value 1\n"), std::string::npos);    // the first at once
    EXPECT_NE(text.find("progress: value 101\n"), std::string::npos);  // then 100 ms apart
    std::string drawing = bar.str();
    EXPECT_EQ(std::count(drawing.begin(), drawing.end(), '\r'), 10 + 1);
    EXPECT_NE(drawing.find("] 1000/1000\n"), std::string::npos);
}

}  // namespace
}  // namespace vellora
