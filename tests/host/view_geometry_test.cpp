// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/view_geometry.h"

#include "core/fixed_text.h"

#include <gtest/gtest.h>

namespace vellora {
namespace {

Fixed Pt(double v) { return FixedFromDouble(v); }
FixedRect Rect(double l, double b, double r, double t) { return FixedRect{Pt(l), Pt(t), Pt(r), Pt(b)}; }

class RotatedView : public ::testing::TestWithParam<int> {};

TEST_P(RotatedView, PageRectanglesRoundTripThroughDevicePixels) {
    ViewGeometry g = MakeViewGeometry(Rect(0, 0, 612, 792), Rect(50, 60, 500, 700), GetParam(), 200.0);
    // Whole points at 200% land on whole pixels and come back exactly.
    FixedRect region = Rect(100, 120, 400, 650);
    DeviceRect d = PageRectToDevice(g, region);
    EXPECT_LE(d.left, d.right);
    EXPECT_LE(d.top, d.bottom);
    FixedRect back = DeviceRectToPageRect(g, d);
    EXPECT_EQ(RectToText(back), RectToText(region));
    // Sides given in any order come out ordered.
    FixedRect inverted{region.right, region.bottom, region.left, region.top};
    DeviceRect d2 = PageRectToDevice(g, inverted);
    EXPECT_EQ(d2.left, d.left);
    EXPECT_EQ(d2.top, d.top);
    EXPECT_EQ(d2.right, d.right);
    EXPECT_EQ(d2.bottom, d.bottom);
    // The shown area (media and crop box together) starts at the margin.
    DeviceRect whole = PageRectToDevice(g, Rect(0, 0, 612, 792));
    EXPECT_EQ(whole.left, g.margin);
    EXPECT_EQ(whole.top, g.margin);
    EXPECT_EQ(DeviceWidth(g), whole.right + g.margin);
    EXPECT_EQ(DeviceHeight(g), whole.bottom + g.margin);
}

INSTANTIATE_TEST_SUITE_P(AllRotations, RotatedView, ::testing::Values(0, 90, 180, 270, -90, 450, 45));

TEST(ViewGeometry, RotationTurnsThePageClockwise) {
    auto corner = [](int rotation) {
        ViewGeometry g = MakeViewGeometry(Rect(0, 0, 100, 200), Rect(0, 0, 100, 200), rotation, 100.0);
        g.margin = 0;
        int16_t x, y;
        PagePointToDevice(g, 0, Pt(200), x, y);  // the page's top-left corner
        return std::to_string(x) + "," + std::to_string(y);
    };
    EXPECT_EQ(corner(0), "0,0");
    EXPECT_EQ(corner(90), "200,0");
    EXPECT_EQ(corner(180), "100,200");
    EXPECT_EQ(corner(270), "0,100");
    EXPECT_EQ(DisplayRotation(-90), 270);
    EXPECT_EQ(DisplayRotation(45), 0);
}

TEST(ViewGeometry, DeviceCoordinatesSaturateAtSixteenBits) {
    ViewGeometry g = MakeViewGeometry(Rect(0, 0, 14400, 14400), Rect(0, 0, 14400, 14400), 0, 6400.0);
    DeviceRect d = PageRectToDevice(g, Rect(0, 0, 14400, 14400));
    EXPECT_EQ(d.right, 32767);
    EXPECT_EQ(d.left, g.margin);
    EXPECT_EQ(d.top, g.margin);
    EXPECT_EQ(d.bottom, 32767);
}

TEST(ViewGeometry, AMediaBoxBeyondTheCropBoxStaysInView) {
    ViewGeometry g = MakeViewGeometry(Rect(0, 0, 612, 792), Rect(100, 100, 300, 300), 0, 100.0);
    DeviceRect media = PageRectToDevice(g, Rect(0, 0, 612, 792));
    EXPECT_GE(media.left, 0);
    EXPECT_GE(media.top, 0);
    EXPECT_LE(media.right, DeviceWidth(g));
    EXPECT_LE(media.bottom, DeviceHeight(g));
}

}  // namespace
}  // namespace vellora
