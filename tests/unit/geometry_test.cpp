// SPDX-License-Identifier: AGPL-3.0-or-later
// Page and device geometry: the rotation cases of MapRegion, the exact
// one-unit boundaries of the overlap test, wrapping at the ends of the
// 32-bit range, and the corner tests at the ends of the 16-bit range.
#include <gtest/gtest.h>

#include <climits>

#include "crop/geometry.h"
#include "fake_host.h"
#include "module/fixed.h"
#include "tool/crop_tool.h"

using fake::Pt;
using fake::Rect;

namespace {

// Both rectangle kinds have left, top, right, bottom.
template <typename R>
void ExpectRect(const R &want, const R &got)
{
    EXPECT_EQ(want.left, got.left);
    EXPECT_EQ(want.top, got.top);
    EXPECT_EQ(want.right, got.right);
    EXPECT_EQ(want.bottom, got.bottom);
}

class Geometry : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Install({});
    }
};

const FixedRect kLetter = Rect(0, 792, 612, 0);
const FixedRect kLetterTurned = Rect(0, 612, 792, 0);

TEST_F(Geometry, HalfSizeTakesWidthFirstAndKeepsTheSign)
{
    const HalfSizePair half = HalfSize(kLetter);
    EXPECT_EQ(Pt(306), half.halfWidth);
    EXPECT_EQ(Pt(396), half.halfHeight);

    const HalfSizePair inverted = HalfSize(Rect(100, 50, 40, 10));
    EXPECT_EQ(Pt(-30), inverted.halfWidth);
    EXPECT_EQ(Pt(20), inverted.halfHeight);
}

TEST_F(Geometry, HalfSizeOfTheFullRangeWrapsInsteadOfOverflowing)
{
    // right - left wraps to -1 unit; the division then rounds it away.
    const HalfSizePair half = HalfSize(FixedRect{INT32_MIN, 0, INT32_MAX, 0});
    EXPECT_EQ(fake::FixedDiv(-1, kFixedTwo), half.halfWidth);
}

TEST_F(Geometry, RotationRemainderTakesTheSignOfTheSum)
{
    struct Case {
        int16_t rotation;
        int turn;
        int want;
    } const cases[] = {
        {270, 90, 0},
        {180, 270, 90},
        {0, 90, 90},
        {90, 270, 0},
        {-90, 90, 0},
        {-90, 180, 90},
        {-90, 270, 180},
        {-180, 90, -90},
        {-450, 90, 0},
        {-720, 90, -270},
        {32767, 270, 277 /* 33037 % 360 */},
        {-32768, 90, -278 /* -32678 % 360 */},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.want, RotationPlus(c.rotation, c.turn)) << c.rotation << " + " << c.turn;
    }
}

struct MapCase {
    const char *name;
    FixedRect pageMedia;
    int16_t pageRotation;
    int16_t capturedRotation;
    FixedRect want;
};

TEST_F(Geometry, MapRegionTurnsTheRegionAsThePageStandsToTheCapturedOne)
{
    const FixedRect region = Rect(100, 700, 300, 500);
    const FixedRect zero = {0, 0, 0, 0};
    const MapCase cases[] = {
        {"same geometry", kLetter, 0, 0, region},
        {"same rotation, any value", kLetter, 45, 45, region},
        {"same rotation, negative", kLetter, -90, -90, region},
        {"quarter turn", kLetterTurned, 90, 0, Rect(92, 300, 292, 100)},
        {"quarter turn from 270", kLetterTurned, 0, 270, Rect(92, 300, 292, 100)},
        {"quarter turn from -90", kLetterTurned, 0, -90, Rect(92, 300, 292, 100)},
        {"half turn", kLetter, 180, 0, Rect(312, 292, 512, 92)},
        {"half turn from 270", kLetter, 90, 270, Rect(312, 292, 512, 92)},
        {"three-quarter turn", kLetterTurned, 270, 0, Rect(500, 512, 700, 312)},
        {"three-quarter turn from 90", kLetterTurned, 0, 90, Rect(500, 512, 700, 312)},
        {"no turn fits 45", kLetter, 45, 0, zero},
        {"no turn fits -90 against 270", kLetter, 270, -90, zero},
        {"negative remainder never matches", kLetter, 270, -180, zero},
    };
    for (const MapCase &c : cases) {
        SCOPED_TRACE(c.name);
        ExpectRect(c.want,
                   MapRegion(c.pageMedia, region, kLetter, c.pageRotation, c.capturedRotation));
    }
}

TEST_F(Geometry, MapRegionCarriesTheRegionAboutTheMiddlesOfTheMediaBoxes)
{
    const FixedRect region = Rect(100, 700, 300, 500);
    // Same size moved by 100, 200: the region moves with the page.
    ExpectRect(Rect(200, 900, 400, 700),
               MapRegion(Rect(100, 992, 712, 200), region, kLetter, 0, 0));
    // And back: a region drawn on the moved page lands where it was drawn from.
    ExpectRect(region,
               MapRegion(kLetter, Rect(200, 900, 400, 700), Rect(100, 992, 712, 200), 0, 0));
    // A page 100 wider and 50 taller: moved by the difference of the halves.
    ExpectRect(Rect(150, 725, 350, 525), MapRegion(Rect(0, 842, 712, 0), region, kLetter, 0, 0));
    // Negative origins count the same way.
    ExpectRect(Rect(-206, 304, -6, 104),
               MapRegion(Rect(-306, 396, 306, -396), region, kLetter, 0, 0));
}

TEST_F(Geometry, MapRegionTurnsAboutTheMiddlesWhenNeitherBoxStartsAtZero)
{
    // Captured on a letter page whose media box starts at 50, 20 (middle
    // 356, 416); carried to pages whose boxes start at 100, 200.
    const FixedRect captured = Rect(50, 812, 662, 20);
    const FixedRect region = Rect(150, 720, 350, 520);  // 100 700 300 500 on a 0,0 page
    const FixedRect upright = Rect(100, 992, 712, 200);
    const FixedRect turned = Rect(100, 812, 892, 200);
    const MapCase cases[] = {
        {"same rotation", upright, 0, 0, Rect(200, 900, 400, 700)},
        {"quarter turn", turned, 90, 0, Rect(192, 500, 392, 300)},
        {"half turn", upright, 180, 0, Rect(412, 492, 612, 292)},
        {"three-quarter turn", turned, 270, 0, Rect(600, 712, 800, 512)},
    };
    for (const MapCase &c : cases) {
        SCOPED_TRACE(c.name);
        // The same answer as on boxes at 0,0, moved by the page's own origin.
        ExpectRect(c.want,
                   MapRegion(c.pageMedia, region, captured, c.pageRotation, c.capturedRotation));
        ExpectRect(region,
                   MapRegion(captured, c.want, c.pageMedia, c.capturedRotation, c.pageRotation));
    }
}

TEST_F(Geometry, MapRegionThereAndBackRestoresTheRegionExactly)
{
    const FixedRect region = {Pt(33.25) + 1, Pt(611) - 3, Pt(500.5) + 7, Pt(17) + 5};
    const int16_t turns[] = {0, 90, 180, 270};
    for (int16_t captured : turns) {
        for (int16_t page : turns) {
            const FixedRect pageMedia = (page - captured) % 180 == 0 ? kLetter : kLetterTurned;
            const FixedRect there = MapRegion(pageMedia, region, kLetter, page, captured);
            ExpectRect(region, MapRegion(kLetter, there, pageMedia, captured, page));
        }
    }
}

TEST_F(Geometry, MapRegionWrapsAtTheEndsOfTheRange)
{
    const FixedRect region = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    const FixedRect media = {0, Pt(2), Pt(2), 0};   // half sizes 1.0, 1.0
    const FixedRect moved = {0, 0, Pt(4), Pt(-4)};  // half sizes 2.0, 2.0; middle 2.0, -2.0
    const FixedRect got = MapRegion(moved, region, media, 0, 0);
    // Moved by (+1.0, -3.0): two sides wrap around, two do not.
    EXPECT_EQ(INT32_MIN + Pt(1) - 1, got.left);
    EXPECT_EQ(INT32_MAX - Pt(3), got.top);
    EXPECT_EQ(INT32_MIN + Pt(1), got.right);
    EXPECT_EQ(INT32_MAX - Pt(3) + 1, got.bottom);
}

TEST(FixedArithmetic, SumsAndDifferencesWrapLikeTwosComplement)
{
    EXPECT_EQ(INT32_MIN, FixedAdd(INT32_MAX, 1));
    EXPECT_EQ(INT32_MAX, FixedSub(INT32_MIN, 1));
    EXPECT_EQ(-1, FixedSub(INT32_MAX, INT32_MIN));
    EXPECT_EQ(-2, FixedAdd(INT32_MAX, INT32_MAX));
    EXPECT_EQ(0, RectWidth(FixedRect{INT32_MIN, 0, INT32_MIN, 0}));
}

struct OverlapCase {
    const char *name;
    FixedRect region;
    Fixed margin;
    HostBool want;
};

TEST_F(Geometry, OverlapsByPassesAnEdgeExactlyTheMarginInsideAndFailsOneUnitShort)
{
    const Fixed inch = kFixedInch;
    const OverlapCase cases[] = {
        {"right edge exactly an inch in", Rect(0, 792, 72, 0), inch, 0},
        {"right edge one unit short", {0, Pt(792), Pt(72) - 1, 0}, inch, 1},
        {"left edge exactly an inch in", Rect(540, 792, 700, 0), inch, 0},
        {"left edge one unit short", {Pt(540) + 1, Pt(792), Pt(700), 0}, inch, 1},
        {"bottom edge exactly an inch in", Rect(0, 900, 612, 720), inch, 0},
        {"bottom edge one unit short", {0, Pt(900), Pt(612), Pt(720) + 1}, inch, 1},
        {"top edge exactly an inch in", Rect(0, 72, 612, -50), inch, 0},
        {"top edge one unit short", {0, Pt(72) - 1, Pt(612), Pt(-50)}, inch, 1},
        {"small region well inside", Rect(100, 700, 110, 100), inch, 0},
        {"entirely beside", Rect(700, 792, 900, 0), inch, 1},
        {"sharing an edge, margin 0", Rect(612, 792, 700, 0), 0, 0},
        {"one unit apart, margin 0", {Pt(612) + 1, Pt(792), Pt(700), 0}, 0, 1},
    };
    for (const OverlapCase &c : cases) {
        EXPECT_EQ(c.want, OverlapsBy(c.region, kLetter, c.margin)) << c.name;
    }
}

TEST_F(Geometry, OverlapsByComparesWrappedBounds)
{
    // The box's bottom + margin wraps to the bottom of the range, so any top
    // passes that test; T - m does not wrap and the bottom test decides.
    const FixedRect box = {0, INT32_MAX, Pt(612), INT32_MAX - Pt(10)};
    EXPECT_EQ(0, OverlapsBy(Rect(0, 0, 612, 0), box, kFixedInch));
    EXPECT_EQ(1, OverlapsBy(FixedRect{0, 0, Pt(612), INT32_MAX - Pt(71)}, box, kFixedInch));
}

TEST_F(Geometry, ClipGoesSideBySide)
{
    ExpectRect(Rect(0, 792, 612, 0), ClipToBox(Rect(-10, 800, 700, -5), kLetter));
    ExpectRect(Rect(10, 700, 300, 20), ClipToBox(Rect(10, 700, 300, 20), kLetter));
    // Nothing puts the sides in order.
    ExpectRect(Rect(700, 792, 612, 0), ClipToBox(Rect(700, 800, 650, -5), kLetter));
}

TEST(DeviceGeometry, NearPointBoundsAreInclusiveAndNeverWrap)
{
    struct Case {
        int16_t x, y, px, py;
        HostBool want;
    } const cases[] = {
        {10, 10, 13, 7, 1},
        {10, 10, 14, 10, 0},
        {10, 10, 10, 14, 0},
        {10, 10, 7, 13, 1},
        {32767, 32767, 32767, 32767, 1},
        {32767, 32767, 32764, 32764, 1},
        {-32768, -32768, -32768, -32768, 1},
        {-32768, -32768, -32765, -32765, 1},
        {-32768, 0, 32767, 0, 0},  // 16-bit bounds would wrap and pass
        {32767, 0, -32768, 0, 0},
        {0, -32768, 0, 32767, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.want, NearPoint(c.x, c.y, c.px, c.py, 3))
            << c.x << "," << c.y << " near " << c.px << "," << c.py;
    }
}

TEST(DeviceGeometry, GrowAndHandleSquares)
{
    ExpectRect(DeviceRect{7, 17, 113, 223}, GrowDeviceRect(DeviceRect{10, 20, 110, 220}, 3));
    ExpectRect(DeviceRect{7, 17, 13, 23}, HandleSquare(10, 20, 3));
    ExpectRect(DeviceRect{-3, -3, 3, 3}, HandleSquare(0, 0, 3));
}

TEST(DeviceGeometry, CornerKindPrefersBottomRightThenBottomLeftTopLeftTopRight)
{
    const DeviceRect big = {100, 100, 300, 200};
    struct Case {
        int16_t x, y;
        int32_t want;
    } const cases[] = {
        {97, 97, VX_DRAG_TOP_LEFT},       {96, 100, VX_DRAG_WHOLE},
        {100, 96, VX_DRAG_WHOLE},         {303, 97, VX_DRAG_TOP_RIGHT},
        {303, 203, VX_DRAG_BOTTOM_RIGHT}, {97, 203, VX_DRAG_BOTTOM_LEFT},
        {100, 150, VX_DRAG_WHOLE},        {200, 150, VX_DRAG_WHOLE},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.want, NearCornerKind(big, c.x, c.y)) << c.x << "," << c.y;
    }
    // A 4 by 4 region: its centre is near all four corners.
    const DeviceRect tiny = {10, 10, 14, 14};
    EXPECT_EQ(VX_DRAG_BOTTOM_RIGHT, NearCornerKind(tiny, 12, 12));
    EXPECT_EQ(VX_DRAG_BOTTOM_LEFT, NearCornerKind(tiny, 10, 12));
    EXPECT_EQ(VX_DRAG_TOP_LEFT, NearCornerKind(DeviceRect{10, 10, 20, 20}, 12, 12));
}

TEST(DeviceGeometry, InsideIncludesTheEdges)
{
    const DeviceRect r = {100, 100, 300, 200};
    EXPECT_TRUE(InsideDeviceRect(r, 100, 150));
    EXPECT_TRUE(InsideDeviceRect(r, 300, 200));
    EXPECT_FALSE(InsideDeviceRect(r, 99, 150));
    EXPECT_FALSE(InsideDeviceRect(r, 200, 201));
}

}  // namespace
