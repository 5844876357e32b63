// SPDX-License-Identifier: AGPL-3.0-or-later
// Greyscale JPEGs decoded row by row give the box their decoded pixmap
// gives: random pages of awkward sizes, baseline and progressive, every
// reduction, several thresholds, faint paint, dark edges, and damaged data
// (cut short, or sized unlike the image's dictionary).
#include "image_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

// After <cstdio>: it uses FILE.
#include <jpeglib.h>

using vellora::pdf::FindImageInk;
using vellora::pdf::InkFound;
using vellora::pdf::InkOptions;

namespace {

// A scan-like grey page: paper with a little noise, blots of every grey,
// thin lines, single dark pixels, and on request a dark band at the left.
std::string Page(int w, int h, unsigned seed, bool band)
{
    std::mt19937 random(seed);
    std::string grey(size_t(w) * size_t(h), '\0');
    for (char& g : grey)
        g = char(236 + int(random() % 20));
    auto paint = [&](int x, int y, int level) {
        if (x >= 0 && y >= 0 && x < w && y < h)
            grey[size_t(y) * size_t(w) + size_t(x)] = char(level);
    };
    for (int blot = 0; blot < 5; ++blot) {
        const int x0 = int(random() % unsigned(w));
        const int y0 = int(random() % unsigned(h));
        const int level = int(random() % 200);
        const int bw = 1 + int(random() % 30);
        const int bh = 1 + int(random() % 20);
        for (int y = y0; y < y0 + bh; ++y)
            for (int x = x0; x < x0 + bw; ++x)
                paint(x, y, level);
    }
    for (int line = 0; line < 3; ++line) {
        const int x0 = int(random() % unsigned(w));
        const int y0 = int(random() % unsigned(h));
        for (int i = 0; i < 40; ++i)
            paint(x0 + i, y0 + (line == 1 ? i : 0), 20);
    }
    for (int dot = 0; dot < 8; ++dot)
        paint(int(random() % unsigned(w)), int(random() % unsigned(h)), 0);
    if (band)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w / 12; ++x)
                paint(x, y, 30);
    return grey;
}

std::string Jpeg(const std::string& grey, int w, int h, int quality, bool progressive)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(w);
    info.image_height = JDIMENSION(h);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(
            const_cast<char*>(grey.data() + size_t(info.next_scanline) * size_t(w)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(out), size);
    std::free(out);
    return bytes;
}

// Bytes MuPDF asked for: a decoded tile is allocated through it.
size_t g_requested = 0;
void* CountedMalloc(void*, size_t size)
{
    g_requested += size;
    return std::malloc(size);
}
void* CountedRealloc(void*, void* old, size_t size)
{
    g_requested += size;
    return std::realloc(old, size);
}
void CountedFree(void*, void* block)
{
    std::free(block);
}
fz_alloc_context g_counted = {nullptr, CountedMalloc, CountedRealloc, CountedFree};

class JpegInk : public ImageFixture {
protected:
    JpegInk() : ImageFixture(&g_counted)
    {
    }

    // Row by row and through a pixmap, the same answer and the same box.
    // `tile`: the bytes of the decoded tile, which row by row reading
    // must not allocate (0 where it gives way to the pixmap).
    void ExpectSame(fz_image* image, fz_matrix ctm, float strength, float threshold, bool darkEdges,
                    const std::string& what, size_t tile = 0)
    {
        const size_t before = g_requested;
        ExpectSameReadings(image, ctm, strength, false, threshold, darkEdges, what, [&] {
            if (tile > 0) {
                EXPECT_LT(g_requested - before, tile) << what << ": decoded into a tile";
            }
        });
    }

    static std::string Dict(int w, int h)
    {
        return "/Width " + std::to_string(w) + " /Height " + std::to_string(h) +
               " /BitsPerComponent 8 /Filter /DCTDecode /ColorSpace /DeviceGray";
    }
};

TEST_F(JpegInk, GivesThePixmapsBoxForEveryReductionAndThreshold)
{
    // Sizes off the 8-pixel blocks, a tall thin one and a wide flat one.
    const int sizes[][2] = {{333, 251}, {64, 64}, {517, 123}, {41, 700}};
    // Painted at 1 to 1/25 of their pixels a point: reduced by 1 to 16.
    const float scales[] = {1.0f, 0.45f, 0.2f, 0.09f, 0.04f};
    const float thresholds[] = {0.05f, 0.25f, 0.5f, 0.85f};
    unsigned seed = 7;
    for (const auto& size : sizes) {
        const int w = size[0];
        const int h = size[1];
        for (int variant = 0; variant < 2; ++variant) {
            const bool progressive = variant == 1;
            const std::string jpeg =
                Jpeg(Page(w, h, seed, progressive), w, h, progressive ? 90 : 60, progressive);
            ++seed;
            fz_image* image = Load(Dict(w, h), jpeg);
            ASSERT_NE(image, nullptr);
            for (float scale : scales) {
                const fz_matrix ctm =
                    fz_make_matrix(w * scale, 0, 0, -h * scale, 10, h * scale + 10);
                // Decoded at full, half and quarter size (the smallest
                // scale only compared).
                const int l2 = scale > 0.3f ? 0 : scale > 0.15f ? 1 : 2;
                const size_t tile = scale > 0.05f ? size_t((w + (1 << l2) - 1) >> l2) *
                                                        size_t((h + (1 << l2) - 1) >> l2)
                                                  : 0;
                for (float threshold : thresholds) {
                    const std::string what = std::to_string(w) + "x" + std::to_string(h) +
                                             (progressive ? " progressive" : " baseline") +
                                             " scale " + std::to_string(scale) + " threshold " +
                                             std::to_string(threshold);
                    ExpectSame(image, ctm, 1.0f, threshold, false, what, tile);
                    ExpectSame(image, ctm, 0.7f, threshold, true, what + " faint, edges", tile);
                }
            }
            fz_drop_image(ctx_, image);
        }
    }
}

TEST_F(JpegInk, DarkEdgesAndSpecksKeepTheirMeaning)
{
    const int w = 600;
    const int h = 400;
    std::string grey(size_t(w) * size_t(h), char(250));
    // A dark band at the left, text-like ink in the middle, one speck.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 40; ++x)
            grey[size_t(y) * w + size_t(x)] = char(25);
    for (int y = 150; y < 250; ++y)
        for (int x = 200; x < 420; ++x)
            grey[size_t(y) * w + size_t(x)] = char((x / 3 + y / 5) % 2 ? 10 : 250);
    grey[size_t(40) * w + 550] = 0;
    fz_image* image = Load(Dict(w, h), Jpeg(grey, w, h, 85, false));
    ASSERT_NE(image, nullptr);
    // 300 dpi: 600 pixels across 144 points, decoded at half size.
    const fz_matrix ctm = fz_make_matrix(144, 0, 0, 96, 0, 0);
    for (bool edges : {false, true}) {
        fz_rect box = fz_empty_rect;
        ASSERT_EQ(int(FindImageInk(ctx_, image, ctm, 1.0f, 1.0f, false, nullptr,
                                   InkOptions{0.25f, edges}, &box)),
                  int(InkFound::Some));
        // The band counts unless left out; the speck never does.
        EXPECT_NEAR(box.x0 * w, edges ? 200 : 0, 2.0) << edges;
        EXPECT_NEAR(box.x1 * w, 420, 2.0) << edges;
        EXPECT_NEAR(box.y0 * h, edges ? 150 : 0, 2.0) << edges;
        EXPECT_NEAR(box.y1 * h, edges ? 250 : h, 2.0) << edges;
        ExpectSame(image, ctm, 1.0f, 0.25f, edges, edges ? "edges" : "no edges");
    }
    fz_drop_image(ctx_, image);
}

TEST_F(JpegInk, DamagedDataGiveWhatThePixmapGives)
{
    const int w = 300;
    const int h = 200;
    const std::string jpeg = Jpeg(Page(w, h, 3, false), w, h, 75, false);
    const fz_matrix ctm = fz_make_matrix(w * 0.45f, 0, 0, h * 0.45f, 0, 0);
    // Cut short: MuPDF ends the image where the data end.
    for (size_t keep : {jpeg.size() / 2, size_t(400), size_t(10)}) {
        fz_image* image = Load(Dict(w, h), jpeg.substr(0, keep));
        if (!image)
            continue;
        ExpectSame(image, ctm, 1.0f, 0.25f, false, "cut to " + std::to_string(keep));
        fz_drop_image(ctx_, image);
    }
    // A dictionary that gives other dimensions than the data hold.
    for (const auto& size : {std::pair{w / 2, h}, std::pair{w, h + 50}}) {
        fz_image* image = Load(Dict(size.first, size.second), jpeg);
        ASSERT_NE(image, nullptr);
        ExpectSame(image, ctm, 1.0f, 0.25f, false,
                   "stated " + std::to_string(size.first) + "x" + std::to_string(size.second));
        fz_drop_image(ctx_, image);
    }
    // Garbage after a valid header.
    std::string spoiled = jpeg;
    for (size_t i = spoiled.size() / 3; i < spoiled.size() / 3 + 64; ++i)
        spoiled[i] = char(0xff);
    fz_image* image = Load(Dict(w, h), spoiled);
    ASSERT_NE(image, nullptr);
    ExpectSame(image, ctm, 1.0f, 0.25f, false, "spoiled");
    fz_drop_image(ctx_, image);
}

}  // namespace
