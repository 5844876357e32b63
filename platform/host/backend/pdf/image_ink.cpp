// SPDX-License-Identifier: AGPL-3.0-or-later
#include "backend/pdf/image_ink.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

namespace vellora::pdf {

namespace {

// The image's samples at the resolution the ink is looked for at, as grey
// or RGB (with alpha when it has one) or, for a stencil, as coverage. Null
// when it cannot be decoded. MuPDF keeps the decoded tile in its store, so
// the same image painted again is not decoded again.
fz_pixmap* DecodeForInk(fz_context* ctx, fz_image* image, fz_matrix ctm, float unitsPerPoint,
                        bool stencil)
{
    fz_pixmap* pix = nullptr;
    fz_pixmap* rgb = nullptr;
    fz_var(pix);
    fz_var(rgb);
    fz_try(ctx)
    {
        const float k = kInkPixelsPerPoint / unitsPerPoint;
        fz_matrix m = fz_post_scale(ctm, k, k);
        int w = 0;
        int h = 0;
        pix = fz_get_pixmap_from_image(ctx, image, nullptr, &m, &w, &h);
        fz_colorspace* cs = fz_pixmap_colorspace(ctx, pix);
        const enum fz_colorspace_type type = cs ? fz_colorspace_type(ctx, cs) : FZ_COLORSPACE_NONE;
        const bool plain = stencil ? fz_pixmap_components(ctx, pix) == 1
                                   : type == FZ_COLORSPACE_GRAY || type == FZ_COLORSPACE_RGB ||
                                         type == FZ_COLORSPACE_BGR;
        if (!plain) {
            if (!cs)
                fz_throw(ctx, FZ_ERROR_GENERIC, "image samples without a colour space");
            rgb = fz_convert_pixmap(ctx, pix, fz_device_rgb(ctx), nullptr, nullptr,
                                    fz_default_color_params, 1);
            fz_drop_pixmap(ctx, pix);
            pix = rgb;
            rgb = nullptr;
        }
    }
    fz_catch(ctx)
    {
        fz_drop_pixmap(ctx, rgb);
        fz_drop_pixmap(ctx, pix);
        return nullptr;
    }
    return pix;
}

// A horizontal run of ink pixels, [x0, x1) on its row.
struct Run {
    int x0, x1;
};

struct Box {
    int x0 = INT32_MAX, y0 = INT32_MAX, x1 = INT32_MIN, y1 = INT32_MIN;  // x1, y1 exclusive
    void add(int ax0, int ay0, int ax1, int ay1)
    {
        x0 = std::min(x0, ax0);
        y0 = std::min(y0, ay0);
        x1 = std::max(x1, ax1);
        y1 = std::max(y1, ay1);
    }
    void add(const Box& b)
    {
        add(b.x0, b.y0, b.x1, b.y1);
    }
    bool empty() const
    {
        return x1 <= x0 || y1 <= y0;
    }
};

// Ink pixels of a decoded tile, row by row, as runs.
struct InkRuns {
    int width = 0, height = 0;
    std::vector<Run> runs;
    std::vector<int> rowStart;  // runs of row y: [rowStart[y], rowStart[y + 1])
    std::vector<int> rowInk, columnInk;
};

// How far a pixel is from white, 0 to 255, composed over white: with alpha
// (premultiplied) a channel c shows as c + 255 - a.
int Darkness(const unsigned char* p, int colorants, bool alpha, bool stencil)
{
    if (stencil)
        return p[0];
    const int a = alpha ? p[colorants] : 255;
    int lightest = p[0];
    for (int c = 1; c < colorants; ++c)
        lightest = std::min<int>(lightest, p[c]);
    return a - lightest;
}

// Coverage of a mask decoded at its own resolution, looked up for the
// pixels of an image of another size.
struct Coverage {
    const unsigned char* samples = nullptr;
    ptrdiff_t stride = 0;
    int n = 1, width = 0, height = 0;
    int at(int x, int y, int w, int h) const
    {
        const int mx = int(int64_t(x) * width / w);
        const int my = int(int64_t(y) * height / h);
        return samples[stride * my + ptrdiff_t(mx) * n];
    }
};

InkRuns FindRuns(fz_context* ctx, fz_pixmap* pix, int cut, bool stencil, const Coverage* mask)
{
    InkRuns ink;
    ink.width = fz_pixmap_width(ctx, pix);
    ink.height = fz_pixmap_height(ctx, pix);
    const int n = fz_pixmap_components(ctx, pix);
    const bool alpha = fz_pixmap_alpha(ctx, pix) != 0;
    const int colorants = stencil ? 1 : n - (alpha ? 1 : 0);
    const ptrdiff_t stride = fz_pixmap_stride(ctx, pix);
    const unsigned char* samples = fz_pixmap_samples(ctx, pix);
    const bool single = n == 1 && !mask;
    ink.rowStart.reserve(size_t(ink.height) + 1);
    ink.rowInk.assign(size_t(ink.height), 0);
    std::vector<int> columnSteps(size_t(ink.width) + 1, 0);
    for (int y = 0; y < ink.height; ++y) {
        ink.rowStart.push_back(int(ink.runs.size()));
        const unsigned char* p = samples + stride * y;
        int start = -1;
        for (int x = 0; x <= ink.width; ++x, p += n) {
            // Scans are mostly paper: one channel is skipped over quickly.
            if (single && start < 0) {
                while (x < ink.width && (stencil ? p[0] : 255 - p[0]) <= cut) {
                    ++x;
                    ++p;
                }
            }
            int darkness = x < ink.width ? Darkness(p, colorants, alpha, stencil) : 0;
            if (mask && darkness > cut)
                darkness = darkness * mask->at(x, y, ink.width, ink.height) / 255;
            const bool dark = darkness > cut;
            if (dark && start < 0) {
                start = x;
            } else if (!dark && start >= 0) {
                ink.runs.push_back(Run{start, x});
                ink.rowInk[size_t(y)] += x - start;
                ++columnSteps[size_t(start)];
                --columnSteps[size_t(x)];
                start = -1;
            }
        }
    }
    ink.rowStart.push_back(int(ink.runs.size()));
    ink.columnInk.resize(size_t(ink.width));
    std::partial_sum(columnSteps.begin(), columnSteps.end() - 1, ink.columnInk.begin());
    return ink;
}

// How many lines from the start of `counts` are at least half ink, up to an
// eighth of them, and one line more for the band's ragged edge.
int DarkBand(const std::vector<int>& counts, int length, bool fromEnd)
{
    const int limit = int(counts.size()) / 8;
    int band = 0;
    while (band < limit) {
        const int at = fromEnd ? int(counts.size()) - 1 - band : band;
        if (2 * counts[size_t(at)] < length)
            break;
        ++band;
    }
    return band > 0 ? std::min(band + 1, limit) : 0;
}

// Union-find over runs.
int Root(std::vector<int>& parent, int i)
{
    while (parent[size_t(i)] != i) {
        parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
        i = parent[size_t(i)];
    }
    return i;
}

// The box of the ink inside `area` (tile pixels), leaving out connected ink
// (8-neighbours) whose box is at most speckW by speckH pixels.
Box InkBox(const InkRuns& ink, const Box& area, double speckW, double speckH)
{
    const size_t count = ink.runs.size();
    std::vector<int> parent(count);
    std::iota(parent.begin(), parent.end(), 0);
    std::vector<Run> clipped(count, Run{0, 0});
    for (int y = area.y0; y < area.y1; ++y) {
        for (int i = ink.rowStart[size_t(y)]; i < ink.rowStart[size_t(y) + 1]; ++i) {
            const Run& r = ink.runs[size_t(i)];
            clipped[size_t(i)] = Run{std::max(r.x0, area.x0), std::min(r.x1, area.x1)};
        }
        if (y == area.y0)
            continue;
        // Runs of this row and the one above that touch, diagonals included.
        int above = ink.rowStart[size_t(y) - 1];
        const int aboveEnd = ink.rowStart[size_t(y)];
        for (int i = ink.rowStart[size_t(y)]; i < ink.rowStart[size_t(y) + 1]; ++i) {
            const Run& r = clipped[size_t(i)];
            if (r.x1 <= r.x0)
                continue;
            while (above < aboveEnd && clipped[size_t(above)].x1 < r.x0)
                ++above;
            for (int j = above; j < aboveEnd && clipped[size_t(j)].x0 <= r.x1; ++j) {
                if (clipped[size_t(j)].x1 <= clipped[size_t(j)].x0)
                    continue;
                const int a = Root(parent, i);
                const int b = Root(parent, j);
                if (a != b)
                    parent[size_t(std::max(a, b))] = std::min(a, b);
            }
        }
    }
    std::vector<Box> parts(count);
    for (int y = area.y0; y < area.y1; ++y) {
        for (int i = ink.rowStart[size_t(y)]; i < ink.rowStart[size_t(y) + 1]; ++i) {
            const Run& r = clipped[size_t(i)];
            if (r.x1 > r.x0)
                parts[size_t(Root(parent, i))].add(r.x0, y, r.x1, y + 1);
        }
    }
    Box result;
    for (const Box& part : parts) {
        if (part.empty())
            continue;
        if (part.x1 - part.x0 <= speckW && part.y1 - part.y0 <= speckH)
            continue;
        result.add(part);
    }
    return result;
}

// The power of two MuPDF subsampled `full` samples by to get `got`: it
// rounds up, so the last decoded pixel may cover fewer samples. 0 when
// `got` is no such count.
int Block(int full, int got)
{
    for (int l2 = 0; l2 <= 8; ++l2) {
        if (((full + (1 << l2) - 1) >> l2) == got)
            return 1 << l2;
    }
    return 0;
}

InkFound Scan(fz_context* ctx, fz_pixmap* pix, fz_pixmap* maskPix, fz_image* image, fz_matrix ctm,
              float unitsPerPoint, float strength, bool stencil, const InkOptions& options,
              fz_rect* unit)
{
    // Ink when darkness * strength > threshold * 255.
    if (strength <= options.threshold)
        return InkFound::None;
    const int cut = int(std::floor(options.threshold * 255.0f / strength));
    Coverage coverage;
    if (maskPix) {
        coverage.samples = fz_pixmap_samples(ctx, maskPix);
        coverage.stride = fz_pixmap_stride(ctx, maskPix);
        coverage.n = fz_pixmap_components(ctx, maskPix);
        coverage.width = fz_pixmap_width(ctx, maskPix);
        coverage.height = fz_pixmap_height(ctx, maskPix);
    }
    const InkRuns ink = FindRuns(ctx, pix, cut, stencil, maskPix ? &coverage : nullptr);
    if (ink.runs.empty())
        return InkFound::None;
    Box area{0, 0, ink.width, ink.height};
    if (options.ignoreDarkEdges) {
        area.y0 = DarkBand(ink.rowInk, ink.width, false);
        area.y1 = ink.height - DarkBand(ink.rowInk, ink.width, true);
        area.x0 = DarkBand(ink.columnInk, ink.height, false);
        area.x1 = ink.width - DarkBand(ink.columnInk, ink.height, true);
    }
    // A decoded pixel's size in points, along the image's own axes.
    const double across = std::hypot(ctm.a, ctm.b) / unitsPerPoint / ink.width;
    const double down = std::hypot(ctm.c, ctm.d) / unitsPerPoint / ink.height;
    const Box box = InkBox(ink, area, across > 0 ? kSpeckPoints / across : 0.0,
                           down > 0 ? kSpeckPoints / down : 0.0);
    if (box.empty())
        return InkFound::None;
    const int bx = Block(image->w, ink.width);
    const int by = Block(image->h, ink.height);
    if (bx == 0 || by == 0)
        return InkFound::Unknown;
    *unit =
        fz_make_rect(float(double(box.x0) * bx / image->w), float(double(box.y0) * by / image->h),
                     float(std::min(1.0, double(box.x1) * bx / image->w)),
                     float(std::min(1.0, double(box.y1) * by / image->h)));
    return InkFound::Some;
}

}  // namespace

InkFound FindImageInk(fz_context* ctx, fz_image* image, fz_matrix ctm, float unitsPerPoint,
                      float strength, bool stencil, fz_image* mask, const InkOptions& options,
                      fz_rect* unit)
{
    if (!image || image->w <= 0 || image->h <= 0)
        return InkFound::Unknown;
    fz_pixmap* pix = DecodeForInk(ctx, image, ctm, unitsPerPoint, stencil);
    if (!pix)
        return InkFound::Unknown;
    // A mask that cannot be read: the image counts whole, as the clip its
    // mask made does.
    fz_pixmap* maskPix = mask ? DecodeForInk(ctx, mask, ctm, unitsPerPoint, true) : nullptr;
    InkFound found = InkFound::Unknown;
    // Called from inside MuPDF's interpreter: nothing may leave by exception.
    try {
        if (!mask || maskPix)
            found = Scan(ctx, pix, maskPix, image, ctm, unitsPerPoint, strength, stencil, options,
                         unit);
    } catch (...) {
        found = InkFound::Unknown;
    }
    fz_drop_pixmap(ctx, maskPix);
    fz_drop_pixmap(ctx, pix);
    return found;
}

}  // namespace vellora::pdf
