// SPDX-License-Identifier: AGPL-3.0-or-later
// Drawing pages: compared pixel by pixel with MuPDF's own command-line
// renderer for every rotation, and checked to stay inside its clip.
#include "pdf/pdf_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

using namespace pdftest;
using vellora::Affine;
using vellora::Raster;

namespace {

// Page space to device pixels as a viewer shows the page: the visible box
// turned by the page's rotation, its top left corner at the origin.
Affine ViewOf(const Box& v, int rotation, double s)
{
    switch (rotation) {
    case 90:
        return Affine{0, s, s, 0, -s * v.y0, -s * v.x0};
    case 180:
        return Affine{-s, 0, 0, s, s * v.x1, -s * v.y0};
    case 270:
        return Affine{0, -s, -s, 0, s * v.y1, s * v.x1};
    default:
        return Affine{s, 0, 0, -s, -s * v.x0, s * v.y1};
    }
}

// mutool's rendering of a page as RGB bytes, with its size.
struct Picture {
    int width = 0, height = 0;
    std::string rgb;
};

Picture MutoolDraw(const std::string& pdf, int page, int dpi, const std::string& out)
{
    const auto r = RunCommand("mutool draw -q -c rgb -r " + std::to_string(dpi) + " -o " +
                              Quote(out) + " " + Quote(pdf) + " " + std::to_string(page));
    Picture p;
    const std::string bytes = ReadBytes(out);
    std::istringstream in(bytes);
    std::string magic;
    int maxval = 0;
    in >> magic >> p.width >> p.height >> maxval;
    in.get();
    if (magic != "P6" || maxval != 255)
        return Picture{};
    p.rgb = bytes.substr(size_t(in.tellg()));
    return p;
}

int Channel(uint32_t pixel, int c)
{
    return int((pixel >> (8 * c)) & 0xFFu);
}

TEST(PdfRender, MatchesMuPdfsOwnRenderingInEveryRotation)
{
    ScratchDir dir;
    const std::string path = Sample("mixed.pdf");
    auto doc = OpenClean(path);
    const double scale = 0.5;  // 36 dpi
    for (int page = 0; page < doc->pageCount(); ++page) {
        const Picture want = MutoolDraw(path, page + 1, 36, dir.path("page.pnm"));
        ASSERT_GT(want.width, 0) << "mutool draw, page " << page + 1;
        const FixedRect crop = doc->cropBox(page);
        Raster raster(want.width, want.height, 0xFF00FF00u);
        doc->render(page, ViewOf(ToBox(crop), doc->rotation(page), scale), crop, raster);

        int different = 0, inked = 0;
        for (int y = 0; y < raster.height; ++y)
            for (int x = 0; x < raster.width; ++x) {
                const uint32_t got = raster.at(x, y);
                const size_t at = (size_t(y) * size_t(want.width) + size_t(x)) * 3;
                bool differs = false;
                for (int c = 0; c < 3; ++c)
                    differs |= std::abs(Channel(got, c) -
                                        int((unsigned char)want.rgb[at + size_t(c)])) > 96;
                different += differs ? 1 : 0;
                inked += Channel(got, 0) + Channel(got, 1) + Channel(got, 2) < 600 ? 1 : 0;
            }
        const int total = raster.width * raster.height;
        EXPECT_LT(different, total / 100)
            << "page " << page + 1 << ", rotation " << doc->rotation(page);
        if (page != 5)
            EXPECT_GT(inked, total / 200) << "page " << page + 1 << " has marks";
        else
            EXPECT_EQ(inked, 0) << "the blank page";
    }
}

// Only the clip is painted: white first, then the page's marks.
TEST(PdfRender, PaintsInsideTheClipOnly)
{
    auto doc = OpenClean(Sample("mixed.pdf"));
    const uint32_t sentinel = 0xFF00FF00u;
    Raster raster(306, 396, sentinel);
    // Page 1 at half size; the clip holds the grey rectangle 72 72 272 172
    // and some paper around it.
    doc->render(0, ViewOf(Box{0, 0, 612, 792}, 0, 0.5), FixedBox(50, 50, 300, 200), raster);
    for (int y = 0; y < raster.height; ++y)
        for (int x = 0; x < raster.width; ++x) {
            const bool inside = x >= 25 && x < 150 && y >= 296 && y < 371;
            const uint32_t p = raster.at(x, y);
            if (!inside)
                ASSERT_EQ(p, sentinel) << x << "," << y;
            else
                ASSERT_NE(p, sentinel) << x << "," << y;
        }
    EXPECT_EQ(raster.at(30, 300), 0xFFFFFFFFu) << "paper inside the clip";
    EXPECT_EQ(Channel(raster.at(80, 340), 0), 127) << "grey rectangle";
    EXPECT_EQ(raster.at(80, 340) >> 24, 0xFFu);
}

// At a clip edge half way through a pixel MuPDF gives a partly covered
// pixel; it goes over the raster as premultiplied colour does, exactly:
// its own value plus what shows through, rounded to the nearest.
TEST(PdfRender, APartlyCoveredPixelIsCompositedExactly)
{
    auto doc = OpenClean(Sample("mixed.pdf"));
    const Affine half = ViewOf(Box{0, 0, 612, 792}, 0, 0.5);
    // Paper only at 150,330; the clip's right edge, 301 pt, is pixel 150.5.
    const FixedRect clip = FixedBox(50, 50, 301, 200);
    Raster clear(306, 396, 0x00000000u);
    doc->render(0, half, clip, clear);
    const uint32_t source = clear.at(150, 330);
    const int a = Channel(source, 3);
    ASSERT_GT(a, 0);
    ASSERT_LT(a, 255) << "the pixel is partly covered";
    EXPECT_EQ(clear.at(151, 330), 0u) << "outside the clip";
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(Channel(source, c), a) << "white paper, premultiplied, channel " << c;

    bool roundedUp = false;  // some channel tells rounding from truncation
    for (const uint32_t under : {0xC0804020u, 0x90705030u, 0x10E0A060u}) {
        Raster raster(306, 396, under);
        doc->render(0, half, clip, raster);
        const uint32_t got = raster.at(150, 330);
        for (int c = 0; c < 4; ++c) {
            const double through = Channel(under, c) * (255.0 - a) / 255.0;
            roundedUp |= through - std::floor(through) >= 0.5;
            EXPECT_EQ(Channel(got, c), Channel(source, c) + std::lround(through))
                << "channel " << c << " over " << std::hex << under << ", coverage " << std::dec
                << a;
        }
        EXPECT_EQ(raster.at(149, 330), 0xFFFFFFFFu) << "paper inside the clip";
        EXPECT_EQ(raster.at(151, 330), under) << "outside the clip";
    }
    EXPECT_TRUE(roundedUp) << "no background tells rounding from truncation at coverage " << a;
}

int Lightness(uint32_t pixel)
{
    return (Channel(pixel, 0) * 299 + Channel(pixel, 1) * 587 + Channel(pixel, 2) * 114) / 1000;
}

// The grey rendering shows ink where the colour one has it and nowhere
// else, and leaves the document's colour rendering as it was.
TEST(PdfRender, GreyHasTheColourRenderingsInk)
{
    auto doc = OpenClean(Sample("mixed.pdf"));
    for (int page = 0; page < doc->pageCount(); ++page) {
        const FixedRect crop = doc->cropBox(page);
        const Affine view = ViewOf(ToBox(crop), doc->rotation(page), 0.5);
        const Box b = ToBox(crop);
        const bool turned = doc->rotation(page) % 180 != 0;
        const int w = int(std::lround((turned ? b.y1 - b.y0 : b.x1 - b.x0) * 0.5));
        const int h = int(std::lround((turned ? b.x1 - b.x0 : b.y1 - b.y0) * 0.5));
        Raster before(w, h, 0xFFFFFFFFu);
        doc->render(page, view, crop, before);
        const std::vector<uint8_t> grey = doc->renderGrey(page, view, crop, w, h);
        ASSERT_EQ(grey.size(), size_t(w) * size_t(h));
        Raster after(w, h, 0xFFFFFFFFu);
        doc->render(page, view, crop, after);
        EXPECT_TRUE(before.pixels == after.pixels)
            << "page " << page + 1 << ": the colour rendering changed after a grey one";

        int solid = 0, missed = 0, spurious = 0, dark = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int colour = Lightness(before.at(x, y));
                const bool ink = grey[size_t(y) * size_t(w) + size_t(x)] < 192;
                dark += ink ? 1 : 0;
                if (colour < 96)
                    ++solid, missed += ink ? 0 : 1;
                else if (colour > 250)
                    spurious += ink ? 1 : 0;
            }
        EXPECT_LE(missed, solid / 20) << "page " << page + 1 << ": solid ink left out";
        EXPECT_LE(spurious, w * h / 500) << "page " << page + 1 << ": ink where the page is white";
        if (page == 5)
            EXPECT_EQ(dark, 0) << "the blank page";
        else
            EXPECT_GT(dark, 0) << "page " << page + 1 << " has marks";
    }
}

// Outside the clip the grey picture stays white; inside, the grey
// rectangle of page 1 keeps its level.
TEST(PdfRender, GreyStaysInsideItsClip)
{
    auto doc = OpenClean(Sample("mixed.pdf"));
    const int w = 306, h = 396;
    const std::vector<uint8_t> grey =
        doc->renderGrey(0, ViewOf(Box{0, 0, 612, 792}, 0, 0.5), FixedBox(50, 50, 300, 200), w, h);
    ASSERT_EQ(grey.size(), size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (x >= 25 && x < 150 && y >= 296 && y < 371)
                continue;
            ASSERT_EQ(grey[size_t(y) * size_t(w) + size_t(x)], 255) << x << "," << y;
        }
    EXPECT_EQ(grey[size_t(300) * size_t(w) + 30], 255) << "paper inside the clip";
    EXPECT_NEAR(grey[size_t(340) * size_t(w) + 80], 127, 1) << "grey rectangle";
}

}  // namespace
