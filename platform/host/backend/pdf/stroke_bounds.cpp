// SPDX-License-Identifier: AGPL-3.0-or-later
#include "backend/pdf/stroke_bounds.h"

#include <cmath>

namespace vellora::pdf {

namespace {

struct Vec {
    double x, y;
};

Vec Sub(Vec a, Vec b)
{
    return {a.x - b.x, a.y - b.y};
}
Vec Add(Vec a, Vec b)
{
    return {a.x + b.x, a.y + b.y};
}
Vec Mul(Vec a, double k)
{
    return {a.x * k, a.y * k};
}

// Walks the path once, subpath by subpath, adding every point of the
// stroke's outline that can be extreme: the sides of each segment, the
// miter tips, round joins and caps.
struct Walker {
    fz_matrix ctm;
    double half;  // half the line width, user space
    fz_linecap startCap, endCap;
    fz_linejoin join;
    double miterLimit;
    bool dashedCaps;  // dashes add caps of their own anywhere along the path
    fz_rect bounds;

    Vec start, cur;
    Vec firstDir, prevDir;
    bool hasSegment;
    bool loneStart;  // a subpath begun and not yet drawn: a dot if it stays so

    void addPoint(Vec p)
    {
        const fz_point d = fz_transform_point_xy(float(p.x), float(p.y), ctm);
        bounds = fz_include_point_in_rect(bounds, d);
    }

    // A circle of radius r in user space is an ellipse on the device.
    void addCircle(Vec c, double r)
    {
        const fz_point d = fz_transform_point_xy(float(c.x), float(c.y), ctm);
        const double rx = r * std::hypot(double(ctm.a), double(ctm.c));
        const double ry = r * std::hypot(double(ctm.b), double(ctm.d));
        bounds = fz_include_point_in_rect(bounds, fz_make_point(float(d.x - rx), float(d.y - ry)));
        bounds = fz_include_point_in_rect(bounds, fz_make_point(float(d.x + rx), float(d.y + ry)));
    }

    void addCap(Vec p, Vec outward, fz_linecap cap)
    {
        const Vec n{-outward.y * half, outward.x * half};
        switch (cap) {
        case FZ_LINECAP_ROUND:
            addCircle(p, half);
            break;
        case FZ_LINECAP_SQUARE:
            addPoint(Add(Add(p, n), Mul(outward, half)));
            addPoint(Add(Sub(p, n), Mul(outward, half)));
            break;
        case FZ_LINECAP_TRIANGLE:
            addPoint(Add(p, Mul(outward, half)));
            break;
        default:
            break;
        }
    }

    void addJoin(Vec at, Vec in, Vec out)
    {
        if (dashedCaps)
            addCircle(at, half * M_SQRT2);
        if (join == FZ_LINEJOIN_ROUND) {
            addCircle(at, half);
            return;
        }
        if (join == FZ_LINEJOIN_BEVEL)
            return;
        const double cosTurn = in.x * out.x + in.y * out.y;
        const double halfCos = (1.0 + cosTurn) / 2.0;
        if (halfCos <= 0.0)
            return;  // a reversal: the miter is unbounded, so it is bevelled
        const double ratio = 1.0 / std::sqrt(halfCos);
        if (ratio > miterLimit || cosTurn > 1.0 - 1e-12)
            return;  // beyond the limit a miter is bevelled; straight on, no corner
        const Vec tipDir = Sub(in, out);
        const double len = std::hypot(tipDir.x, tipDir.y);
        if (len == 0.0)
            return;
        addPoint(Add(at, Mul(tipDir, half * ratio / len)));
    }

    void lineTo(Vec p)
    {
        const Vec d = Sub(p, cur);
        const double len = std::hypot(d.x, d.y);
        if (len == 0.0)
            return;
        const Vec dir = Mul(d, 1.0 / len);
        const Vec n{-dir.y * half, dir.x * half};
        addPoint(Add(cur, n));
        addPoint(Sub(cur, n));
        addPoint(Add(p, n));
        addPoint(Sub(p, n));
        if (hasSegment)
            addJoin(cur, prevDir, dir);
        else
            firstDir = dir;
        prevDir = dir;
        hasSegment = true;
        loneStart = false;
        cur = p;
    }

    void finishOpen()
    {
        if (hasSegment) {
            addCap(start, Mul(firstDir, -1.0), startCap);
            addCap(cur, prevDir, endCap);
        } else if (loneStart && startCap != FZ_LINECAP_BUTT) {
            // A lone point is a dot when its caps have extent.
            addCircle(start, half * M_SQRT2);
        }
    }

    void close()
    {
        lineTo(start);
        if (hasSegment)
            addJoin(start, prevDir, firstDir);
        hasSegment = false;
        loneStart = false;
        cur = start;
    }
};

Walker* Of(void* arg)
{
    return static_cast<Walker*>(arg);
}

void MoveTo(fz_context*, void* arg, float x, float y)
{
    Walker* w = Of(arg);
    w->finishOpen();
    w->start = w->cur = Vec{x, y};
    w->hasSegment = false;
    w->loneStart = true;
}

void LineTo(fz_context*, void* arg, float x, float y)
{
    Of(arg)->lineTo(Vec{x, y});
}

// Curves are flattened finely enough that the outline's extremes are found
// to well under a hundredth of a point on any page-sized curve.
void CurveTo(fz_context*, void* arg, float x1, float y1, float x2, float y2, float x3, float y3)
{
    Walker* w = Of(arg);
    const Vec p0 = w->cur;
    constexpr int kSteps = 32;
    for (int i = 1; i <= kSteps; ++i) {
        const double t = double(i) / kSteps;
        const double u = 1.0 - t;
        const double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
        w->lineTo(
            Vec{b0 * p0.x + b1 * x1 + b2 * x2 + b3 * x3, b0 * p0.y + b1 * y1 + b2 * y2 + b3 * y3});
    }
}

void ClosePath(fz_context*, void* arg)
{
    Of(arg)->close();
}

}  // namespace

fz_rect StrokeBounds(fz_context* ctx, const fz_path* path, const fz_stroke_state* stroke,
                     fz_matrix ctm)
{
    Walker w{};
    w.ctm = ctm;
    w.half = stroke ? double(stroke->linewidth) / 2.0 : 0.5;
    w.startCap = stroke ? stroke->start_cap : FZ_LINECAP_BUTT;
    w.endCap = stroke ? stroke->end_cap : FZ_LINECAP_BUTT;
    w.join = stroke ? stroke->linejoin : FZ_LINEJOIN_MITER;
    w.miterLimit = stroke ? double(stroke->miterlimit) : 10.0;
    w.dashedCaps = stroke && stroke->dash_len > 0 && stroke->dash_cap != FZ_LINECAP_BUTT;
    w.bounds = fz_empty_rect;
    if (w.half < 0)
        w.half = -w.half;

    static const fz_path_walker kWalker = {MoveTo,  LineTo,  CurveTo, ClosePath,
                                           nullptr, nullptr, nullptr, nullptr};
    fz_walk_path(ctx, path, &kWalker, &w);
    w.finishOpen();
    return w.bounds;
}

}  // namespace vellora::pdf
