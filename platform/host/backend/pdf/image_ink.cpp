// SPDX-License-Identifier: AGPL-3.0-or-later
#include "backend/pdf/image_ink.h"

#include "backend/pdf/jpeg_rows.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

// The greatest darkness among 16 one-channel samples (a loop the compiler
// turns into a few vector instructions).
int Darkest16(const unsigned char* p, bool stencil)
{
    unsigned char low = 255;
    unsigned char high = 0;
    for (int i = 0; i < 16; ++i) {
        low = std::min(low, p[i]);
        high = std::max(high, p[i]);
    }
    return stencil ? high : 255 - low;
}

// Collects the runs of a tile row by row, with the ink of each row and
// column for the dark edges.
struct RunCollector {
    InkRuns ink;
    std::vector<int> columnSteps;
    RunCollector(int width, int height) : columnSteps(size_t(width) + 1, 0)
    {
        ink.width = width;
        ink.height = height;
        ink.rowStart.reserve(size_t(height) + 1);
        ink.rowInk.assign(size_t(height), 0);
    }
    void beginRow()
    {
        ink.rowStart.push_back(int(ink.runs.size()));
    }
    void add(int y, int x0, int x1)
    {
        ink.runs.push_back(Run{x0, x1});
        ink.rowInk[size_t(y)] += x1 - x0;
        ++columnSteps[size_t(x0)];
        --columnSteps[size_t(x1)];
    }
    InkRuns finish()
    {
        ink.rowStart.push_back(int(ink.runs.size()));
        ink.columnInk.resize(size_t(ink.width));
        std::partial_sum(columnSteps.begin(), columnSteps.end() - 1, ink.columnInk.begin());
        return std::move(ink);
    }
};

// The runs of one row of one-channel samples (grey, or a stencil's
// coverage). Scans are mostly paper: it is skipped over sixteen samples at
// a time where none is ink.
void AddSingleChannelRow(RunCollector& runs, int y, const unsigned char* row, int width, int cut,
                         bool stencil)
{
    int x = 0;
    while (x < width) {
        while (x + 16 <= width && Darkest16(row + x, stencil) <= cut)
            x += 16;
        while (x < width && (stencil ? row[x] : 255 - row[x]) <= cut)
            ++x;
        if (x == width)
            break;
        const int start = x;
        while (x < width && (stencil ? row[x] : 255 - row[x]) > cut)
            ++x;
        runs.add(y, start, x);
    }
}

InkRuns FindRuns(fz_context* ctx, fz_pixmap* pix, int cut, bool stencil, const Coverage* mask)
{
    const int width = fz_pixmap_width(ctx, pix);
    const int height = fz_pixmap_height(ctx, pix);
    RunCollector runs(width, height);
    const int n = fz_pixmap_components(ctx, pix);
    const bool alpha = fz_pixmap_alpha(ctx, pix) != 0;
    const int colorants = stencil ? 1 : n - (alpha ? 1 : 0);
    const ptrdiff_t stride = fz_pixmap_stride(ctx, pix);
    const unsigned char* samples = fz_pixmap_samples(ctx, pix);
    const bool single = n == 1 && !mask;
    for (int y = 0; y < height; ++y) {
        runs.beginRow();
        const unsigned char* p = samples + stride * y;
        if (single) {
            AddSingleChannelRow(runs, y, p, width, cut, stencil);
            continue;
        }
        int start = -1;
        for (int x = 0; x <= width; ++x, p += n) {
            int darkness = x < width ? Darkness(p, colorants, alpha, stencil) : 0;
            if (mask && darkness > cut)
                darkness = darkness * mask->at(x, y, width, height) / 255;
            const bool dark = darkness > cut;
            if (dark && start < 0) {
                start = x;
            } else if (!dark && start >= 0) {
                runs.add(y, start, x);
                start = -1;
            }
        }
    }
    return runs.finish();
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

// The threshold as a darkness level: ink when darkness * strength >
// threshold * 255. -1 when nothing can be ink.
int Cut(float strength, const InkOptions& options)
{
    if (strength <= options.threshold)
        return -1;
    return int(std::floor(options.threshold * 255.0f / strength));
}

// The box of the ink found in a tile of `image`, in the image's unit square.
InkFound BoxOfRuns(const InkRuns& ink, fz_image* image, fz_matrix ctm, float unitsPerPoint,
                   const InkOptions& options, fz_rect* unit)
{
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

InkFound Scan(fz_context* ctx, fz_pixmap* pix, fz_pixmap* maskPix, fz_image* image, fz_matrix ctm,
              float unitsPerPoint, float strength, bool stencil, const InkOptions& options,
              fz_rect* unit)
{
    const int cut = Cut(strength, options);
    if (cut < 0)
        return InkFound::None;
    Coverage coverage;
    if (maskPix) {
        coverage.samples = fz_pixmap_samples(ctx, maskPix);
        coverage.stride = fz_pixmap_stride(ctx, maskPix);
        coverage.n = fz_pixmap_components(ctx, maskPix);
        coverage.width = fz_pixmap_width(ctx, maskPix);
        coverage.height = fz_pixmap_height(ctx, maskPix);
    }
    const InkRuns ink = FindRuns(ctx, pix, cut, stencil, maskPix ? &coverage : nullptr);
    return BoxOfRuns(ink, image, ctm, unitsPerPoint, options, unit);
}

// --- One-bit images, read packed ---------------------------------------------
//
// A bilevel scan (CCITT fax, JBIG2, one-bit Flate) is most of a scanned
// book. Decoded into a pixmap it is unpacked to a byte a pixel at full
// resolution and then averaged down; here its decoding stream is read row
// by row as the bits it holds, paper is passed over eight bytes at a time,
// and each block of pixels that holds ink is counted. The darkness of a
// block is the one MuPDF's pixmap would give it (the same block size, the
// same rounding, the decode array and stencil inversion after averaging),
// so the box is the one the pixmap would give.

// How MuPDF would reduce the image for a request through `m`: the power of
// two it subsamples by (fz_get_pixmap_from_image: the largest that keeps
// the image two pixels bigger than asked for, at most 6).
int SubsampleLevel(const fz_image* image, fz_matrix m)
{
    int w = int(sqrtf(m.a * m.a + m.b * m.b));
    int h = int(sqrtf(m.c * m.c + m.d * m.d));
    w = std::min(w, image->w);
    h = std::min(h, image->h);
    int l2 = 0;
    if (w > 0 && h > 0) {
        while ((image->w >> (l2 + 1)) >= w + 2 && (image->h >> (l2 + 1)) >= h + 2 && l2 < 6)
            ++l2;
    }
    return l2;
}

// The reduction for finding an image's ink drawn through `ctm`.
int InkSubsampleLevel(const fz_image* image, fz_matrix ctm, float unitsPerPoint)
{
    const float k = kInkPixelsPerPoint / unitsPerPoint;
    return SubsampleLevel(image, fz_post_scale(ctm, k, k));
}

struct Bilevel {
    fz_compressed_buffer* buffer = nullptr;
    bool stencil = false;
    bool inverted = false;  // decode array [1 0]
    // The sample value (0 or 1) of a pixel that is ink on its own.
    int inkSample = 0;
    // Darkness of a block of `count` pixels of which `ones` are 1.
    int darkness(int ones, int count) const
    {
        int level = 255 * ones / count;
        if (stencil)
            level = 255 - level;
        if (inverted)
            level = 255 - level;
        return stencil ? level : 255 - level;
    }
};

// Whether `image` can be read packed: one bit a pixel, grey (or a stencil),
// no colour key or mask of its own, a decode array of [0 1] or [1 0], and
// compressed in a form whose decoding gives the samples as they are.
bool ReadablePacked(fz_context* ctx, fz_image* image, bool stencil, Bilevel* bilevel)
{
    if (image->bpc != 1 || image->n != 1 || image->use_colorkey || image->mask || image->decoded ||
        image->scalable)
        return false;
    if (stencil != bool(image->imagemask))
        return false;
    if (!stencil &&
        (!image->colorspace || fz_colorspace_type(ctx, image->colorspace) != FZ_COLORSPACE_GRAY))
        return false;
    bool inverted = false;
    if (image->use_decode) {
        if (image->decode[0] == 1.0f && image->decode[1] == 0.0f)
            inverted = true;
        else if (!(image->decode[0] == 0.0f && image->decode[1] == 1.0f))
            return false;
    }
    fz_compressed_buffer* buffer = fz_compressed_image_buffer(ctx, image);
    if (!buffer || !buffer->buffer)
        return false;
    switch (buffer->params.type) {
    case FZ_IMAGE_RAW:
    case FZ_IMAGE_FAX:
    case FZ_IMAGE_FLATE:
    case FZ_IMAGE_LZW:
    case FZ_IMAGE_RLD:
    case FZ_IMAGE_JBIG2:
        break;
    default:
        return false;
    }
    bilevel->buffer = buffer;
    bilevel->stencil = stencil;
    bilevel->inverted = inverted;
    bilevel->inkSample = bilevel->darkness(1, 1) > 0 ? 1 : 0;
    return true;
}

// MuPDF's side of the reading, where it may throw: null, or 0 bytes read,
// on failure (its error goes to its log).
fz_stream* OpenDecoding(fz_context* ctx, fz_compressed_buffer* buffer)
{
    fz_stream* stm = nullptr;
    fz_var(stm);
    fz_try(ctx)
    {
        int l2 = 0;
        stm = fz_open_image_decomp_stream_from_buffer(ctx, buffer, &l2);
    }
    fz_catch(ctx)
    {
        return nullptr;
    }
    return stm;
}

size_t ReadDecoded(fz_context* ctx, fz_stream* stm, unsigned char* into, size_t length)
{
    size_t got = 0;
    fz_var(got);
    fz_try(ctx)
    {
        got = fz_read(ctx, stm, into, length);
    }
    fz_catch(ctx)
    {
        got = 0;
    }
    return got;
}

// The first byte at or after `from` that is not zero; `length` when none.
size_t NextNonZero(const unsigned char* bytes, size_t from, size_t length)
{
    size_t i = from;
    while (i < length && (i & 7) != 0) {
        if (bytes[i])
            return i;
        ++i;
    }
    while (i + 8 <= length) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        if (word)
            break;
        i += 8;
    }
    while (i < length && !bytes[i])
        ++i;
    return i;
}

// row ^= flip (in every byte), any |= row; eight bytes at a time.
void FlipAndMerge(unsigned char* row, unsigned char* any, size_t length, unsigned char flip)
{
    const uint64_t flips = flip ? ~uint64_t(0) : 0;
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t bits;
        uint64_t merged;
        std::memcpy(&bits, row + i, 8);
        std::memcpy(&merged, any + i, 8);
        bits ^= flips;
        merged |= bits;
        std::memcpy(row + i, &bits, 8);
        std::memcpy(any + i, &merged, 8);
    }
    for (; i < length; ++i) {
        row[i] ^= flip;
        any[i] |= row[i];
    }
}

// 1 bits in each byte value (without a processor instruction for it in
// every build).
constexpr std::array<unsigned char, 256> kBitsIn = [] {
    std::array<unsigned char, 256> bits{};
    for (unsigned v = 0; v < 256; ++v)
        bits[v] = static_cast<unsigned char>(std::popcount(v));
    return bits;
}();

// The 1 bits among pixels [x0, x1) of a packed row, a byte at a time.
int CountBits(const unsigned char* row, int x0, int x1)
{
    int count = 0;
    while (x0 < x1) {
        const int first = x0 & 7;
        const int last = std::min(8, first + (x1 - x0));
        const unsigned mask = (0xffu >> first) & (0xffu << (8 - last));
        count += kBitsIn[row[x0 >> 3] & mask];
        x0 += last - first;
    }
    return count;
}

// The runs of a one-bit image read from its decoding stream, subsampled by
// 2^l2 as MuPDF would. Data that end early read as zero samples, as MuPDF
// pads them.
InkRuns FindPackedRuns(fz_context* ctx, fz_stream* stm, fz_image* image, const Bilevel& bilevel,
                       int l2, int cut)
{
    const int w = image->w;
    const int h = image->h;
    const int f = 1 << l2;
    const int width = (w + f - 1) >> l2;
    const int height = (h + f - 1) >> l2;
    const size_t rowBytes = (size_t(w) + 7) / 8;
    // Rows as read, then as ink bits (1 where a pixel is ink on its own).
    std::vector<unsigned char> rows(rowBytes * size_t(f));
    std::vector<unsigned char> any(rowBytes);
    const unsigned char flip = bilevel.inkSample ? 0x00 : 0xff;
    // Which bits of the last byte are pixels.
    const unsigned char lastMask =
        (w & 7) ? static_cast<unsigned char>(0xff << (8 - (w & 7))) : 0xff;
    bool ended = false;
    RunCollector runs(width, height);
    for (int y = 0; y < height; ++y) {
        runs.beginRow();
        const int rowCount = std::min(f, h - y * f);
        std::fill(any.begin(), any.end(), 0);
        for (int r = 0; r < rowCount; ++r) {
            unsigned char* row = rows.data() + rowBytes * size_t(r);
            const size_t got = ended ? 0 : ReadDecoded(ctx, stm, row, rowBytes);
            if (got < rowBytes) {
                ended = true;
                std::memset(row + got, 0, rowBytes - got);
            }
            FlipAndMerge(row, any.data(), rowBytes, flip);
            any[rowBytes - 1] &= lastMask;
        }
        int start = -1;
        for (int x = 0; x < width;) {
            if (start < 0) {
                const size_t next = NextNonZero(any.data(), (size_t(x) << l2) >> 3, rowBytes);
                if (next >= rowBytes)
                    break;
                x = std::max(x, int((next * 8) >> l2));
                if (x >= width)
                    break;
            }
            const int x0 = x << l2;
            const int x1 = std::min(w, x0 + f);
            int inkCount = 0;
            for (int r = 0; r < rowCount; ++r)
                inkCount += CountBits(rows.data() + rowBytes * size_t(r), x0, x1);
            const int count = (x1 - x0) * rowCount;
            const int ones = bilevel.inkSample ? inkCount : count - inkCount;
            const bool dark = bilevel.darkness(ones, count) > cut;
            if (dark && start < 0) {
                start = x;
            } else if (!dark && start >= 0) {
                runs.add(y, start, x);
                start = -1;
            }
            ++x;
        }
        if (start >= 0)
            runs.add(y, start, width);
    }
    return runs.finish();
}

// --- Greyscale JPEG, decoded row by row ----------------------------------------
//
// A greyscale scan is most often one JPEG a page. Through a pixmap it is
// decoded by MuPDF's DCT filter (libjpeg, scaled as it decodes), copied
// through the filter's small buffer into a tile and kept in the store; here
// libjpeg is driven directly on the compressed bytes with the settings
// MuPDF's filter uses (the same scale, the same IDCT), and each row is
// scanned as it comes out of the decoder: no tile, no copy. Anything the
// direct reading does not cover the same way (other scales, data libjpeg
// complains about, sizes that differ from the image's) is left to the
// pixmap, so the box is the one the pixmap would give.

// Whether `image` is a plain greyscale JPEG: one component of DeviceGray
// or a grey ICC space, the default decode array, no colour key or mask of
// its own.
fz_compressed_buffer* PlainGreyJpeg(fz_context* ctx, fz_image* image, bool stencil)
{
    if (stencil || image->imagemask || image->n != 1 || image->bpc != 8 || image->use_colorkey ||
        image->mask || image->decoded || image->scalable)
        return nullptr;
    if (!image->colorspace || fz_colorspace_type(ctx, image->colorspace) != FZ_COLORSPACE_GRAY)
        return nullptr;
    if (image->use_decode && !(image->decode[0] == 0.0f && image->decode[1] == 1.0f))
        return nullptr;
    fz_compressed_buffer* buffer = fz_compressed_image_buffer(ctx, image);
    if (!buffer || !buffer->buffer || buffer->params.type != FZ_IMAGE_JPEG)
        return nullptr;
    return buffer;
}

// One decoded row's runs; false when memory ran out (nothing may leave
// the decoding by exception: libjpeg's state must still be destroyed).
struct JpegRowTarget {
    RunCollector* runs;
    int cut;
};

bool AddJpegRow(void* context, int y, const unsigned char* row, int width)
{
    const JpegRowTarget* target = static_cast<const JpegRowTarget*>(context);
    try {
        target->runs->beginRow();
        AddSingleChannelRow(*target->runs, y, row, width, target->cut, false);
        return true;
    } catch (...) {
        return false;
    }
}

// Unknown when the direct reading gives way to the pixmap.
InkFound FindJpegInk(fz_context* ctx, fz_image* image, fz_compressed_buffer* buffer, fz_matrix ctm,
                     float unitsPerPoint, float strength, const InkOptions& options, fz_rect* unit)
{
    const int cut = Cut(strength, options);
    if (cut < 0)
        return InkFound::None;
    const int l2 = InkSubsampleLevel(image, ctm, unitsPerPoint);
    // libjpeg scales by 1/8 at most; MuPDF halves further after decoding.
    if (l2 > 3)
        return InkFound::Unknown;
    const int f = 1 << l2;
    const int width = (image->w + f - 1) >> l2;
    const int height = (image->h + f - 1) >> l2;
    unsigned char* data = nullptr;
    const size_t length = fz_buffer_storage(ctx, buffer->buffer, &data);
    try {
        RunCollector runs(width, height);
        std::vector<unsigned char> row(size_t(width) + 16);
        JpegRowTarget target{&runs, cut};
        const JpegRows rows{data, length, image->w, image->h, l2, width, height};
        if (!DecodeJpegRows(rows, row.data(), AddJpegRow, &target) ||
            int(runs.ink.rowStart.size()) != height)
            return InkFound::Unknown;
        return BoxOfRuns(runs.finish(), image, ctm, unitsPerPoint, options, unit);
    } catch (...) {
        return InkFound::Unknown;
    }
}

}  // namespace

InkFound FindImageInk(fz_context* ctx, fz_image* image, fz_matrix ctm, float unitsPerPoint,
                      float strength, bool stencil, fz_image* mask, const InkOptions& options,
                      fz_rect* unit)
{
    if (!image || image->w <= 0 || image->h <= 0)
        return InkFound::Unknown;
    Bilevel bilevel;
    if (options.readPacked && !mask && ReadablePacked(ctx, image, stencil, &bilevel)) {
        const int cut = Cut(strength, options);
        if (cut < 0)
            return InkFound::None;
        const int l2 = InkSubsampleLevel(image, ctm, unitsPerPoint);
        fz_stream* stm = OpenDecoding(ctx, bilevel.buffer);
        if (!stm)
            return InkFound::Unknown;
        InkFound found = InkFound::Unknown;
        // Called from inside MuPDF's interpreter: nothing may leave by exception.
        try {
            const InkRuns ink = FindPackedRuns(ctx, stm, image, bilevel, l2, cut);
            found = BoxOfRuns(ink, image, ctm, unitsPerPoint, options, unit);
        } catch (...) {
            found = InkFound::Unknown;
        }
        fz_drop_stream(ctx, stm);
        return found;
    }
    if (options.readPacked && !mask) {
        if (fz_compressed_buffer* jpeg = PlainGreyJpeg(ctx, image, stencil)) {
            const InkFound found =
                FindJpegInk(ctx, image, jpeg, ctm, unitsPerPoint, strength, options, unit);
            if (found != InkFound::Unknown)
                return found;
        }
    }
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
