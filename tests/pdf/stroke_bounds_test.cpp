// SPDX-License-Identifier: AGPL-3.0-or-later
// The exact extent of strokes, on paths whose outline is known by hand.
#include "backend/pdf/stroke_bounds.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

using vellora::pdf::StrokeBounds;

namespace {

class StrokeBoundsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ctx_ = fz_new_context(nullptr, nullptr, FZ_STORE_UNLIMITED);
    }
    void TearDown() override
    {
        fz_drop_context(ctx_);
    }

    // Bounds of the polyline through `points`, stroked `width` wide.
    fz_rect Stroke(std::initializer_list<std::pair<float, float>> points, float width,
                   fz_linecap cap = FZ_LINECAP_BUTT, fz_linejoin join = FZ_LINEJOIN_MITER,
                   float miterLimit = 10, fz_matrix ctm = fz_identity)
    {
        fz_path* path = fz_new_path(ctx_);
        bool first = true;
        for (const auto& [x, y] : points) {
            if (first)
                fz_moveto(ctx_, path, x, y);
            else
                fz_lineto(ctx_, path, x, y);
            first = false;
        }
        fz_stroke_state stroke = fz_default_stroke_state;
        stroke.linewidth = width;
        stroke.start_cap = stroke.end_cap = stroke.dash_cap = cap;
        stroke.linejoin = join;
        stroke.miterlimit = miterLimit;
        const fz_rect r = StrokeBounds(ctx_, path, &stroke, ctm);
        fz_drop_path(ctx_, path);
        return r;
    }

    fz_context* ctx_ = nullptr;
};

void ExpectRect(const fz_rect& r, float x0, float y0, float x1, float y1, float tolerance = 0.01f)
{
    EXPECT_NEAR(r.x0, x0, tolerance);
    EXPECT_NEAR(r.y0, y0, tolerance);
    EXPECT_NEAR(r.x1, x1, tolerance);
    EXPECT_NEAR(r.y1, y1, tolerance);
}

TEST_F(StrokeBoundsTest, CapsReachAsFarAsTheirShape)
{
    ExpectRect(Stroke({{0, 0}, {100, 0}}, 10, FZ_LINECAP_BUTT), 0, -5, 100, 5);
    ExpectRect(Stroke({{0, 0}, {100, 0}}, 10, FZ_LINECAP_ROUND), -5, -5, 105, 5);
    ExpectRect(Stroke({{0, 0}, {100, 0}}, 10, FZ_LINECAP_SQUARE), -5, -5, 105, 5);
    // A diagonal's butt ends stick out by half the width times cos 45.
    ExpectRect(Stroke({{0, 0}, {100, 100}}, 10, FZ_LINECAP_BUTT), -3.5355f, -3.5355f, 103.5355f,
               103.5355f);
}

TEST_F(StrokeBoundsTest, MitersAreCutAtTheLimit)
{
    // A right-angled corner: the miter tip is half the width out each way.
    ExpectRect(Stroke({{0, 0}, {100, 0}, {100, 100}}, 10), 0, -5, 105, 100);
    // A sharp turn (about 11 degrees) needs a miter ratio of 10.15: bevelled
    // at the default limit of 10, a long tip at a limit of 20.
    const fz_rect bevelled =
        Stroke({{0, 0}, {100, 0}, {0, 20}}, 10, FZ_LINECAP_BUTT, FZ_LINEJOIN_MITER, 10);
    EXPECT_LT(bevelled.x1, 106.0f);
    const fz_rect mitred =
        Stroke({{0, 0}, {100, 0}, {0, 20}}, 10, FZ_LINECAP_BUTT, FZ_LINEJOIN_MITER, 20);
    EXPECT_NEAR(mitred.x1, 150.5f, 0.3f);
    // A round join on the same turn reaches half the width round the vertex.
    const fz_rect round =
        Stroke({{0, 0}, {100, 0}, {0, 20}}, 10, FZ_LINECAP_BUTT, FZ_LINEJOIN_ROUND);
    EXPECT_NEAR(round.x1, 105.0f, 0.01f);
}

TEST_F(StrokeBoundsTest, ThePenFollowsTheTransform)
{
    // Twice as wide: a round cap's circle becomes an ellipse.
    ExpectRect(
        Stroke({{0, 0}, {100, 0}}, 10, FZ_LINECAP_ROUND, FZ_LINEJOIN_MITER, 10, fz_scale(2, 1)),
        -10, -5, 210, 5);
}

TEST_F(StrokeBoundsTest, CurvesAreBoundByTheirInk)
{
    // A quarter circle of radius 100 from (100, 0) to (0, 100), 2 pt wide.
    fz_path* path = fz_new_path(ctx_);
    const float k = 55.2285f;  // 100 * 4/3 * (sqrt(2) - 1)
    fz_moveto(ctx_, path, 100, 0);
    fz_curveto(ctx_, path, 100, k, k, 100, 0, 100);
    fz_stroke_state stroke = fz_default_stroke_state;
    stroke.linewidth = 2;
    const fz_rect r = StrokeBounds(ctx_, path, &stroke, fz_identity);
    fz_drop_path(ctx_, path);
    ExpectRect(r, 0, 0, 101, 101, 0.05f);
}

}  // namespace
