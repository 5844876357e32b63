// SPDX-License-Identifier: AGPL-3.0-or-later
// Bounding boxes of page marks: checked against Ghostscript's bbox device
// on the samples, and against the marks the samples were written with.
#include "pdf/pdf_test_support.h"
#include "pdf_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace pdftest;

namespace {

// Ghostscript reports only marks inside the visible page (crop box),
// turned by the page's rotation, relative to the media box's corner.
Box AsGhostscriptSees(const Box& marks, const Box& media, const Box& crop, int rotation)
{
    const Box c{std::max(marks.x0, crop.x0), std::max(marks.y0, crop.y0),
                std::min(marks.x1, crop.x1), std::min(marks.y1, crop.y1)};
    switch (rotation) {
    case 90:
        return Box{c.y0 - media.y0, media.x1 - c.x1, c.y1 - media.y0, media.x1 - c.x0};
    case 180:
        return Box{media.x1 - c.x1, media.y1 - c.y1, media.x1 - c.x0, media.y1 - c.y0};
    case 270:
        return Box{media.y1 - c.y1, c.x0 - media.x0, media.y1 - c.y0, c.x1 - media.x0};
    default:
        return Box{c.x0 - media.x0, c.y0 - media.y0, c.x1 - media.x0, c.y1 - media.y0};
    }
}

void CompareWithGhostscript(const std::string& path, int first, int last)
{
    auto doc = OpenClean(path);
    const std::vector<Box> gs = GhostscriptBoxes(path, first, last);
    ASSERT_EQ(int(gs.size()), last - first + 1) << "Ghostscript's bbox device on " << path;
    for (int page = first; page <= last; ++page) {
        const Box ours = ToBox(doc->boundingBox(page - 1));
        const Box media = ToBox(doc->mediaBox(page - 1));
        const Box crop = ToBox(doc->cropBox(page - 1));
        const int rotation = doc->rotation(page - 1);
        const Box theirs = gs[size_t(page - first)];
        const bool blank = theirs.x0 == 0 && theirs.y0 == 0 && theirs.x1 == 0 && theirs.y1 == 0;
        if (blank) {
            EXPECT_LT(Distance(ours, media), 1e-6) << path << " page " << page;
            continue;
        }
        EXPECT_LE(Distance(AsGhostscriptSees(ours, media, crop, rotation), theirs), 1.0)
            << path << " page " << page << ": ours " << Show(ours) << ", Ghostscript "
            << Show(theirs);
    }
}

TEST(PdfBoundingBox, AgreesWithGhostscriptOnTheMixedSample)
{
    CompareWithGhostscript(Sample("mixed.pdf"), 1, 7);
}

TEST(PdfBoundingBox, AgreesWithGhostscriptOnTextPages)
{
    CompareWithGhostscript(Sample("text-1000.pdf"), 1, 40);
}

}  // namespace

namespace {

void ExpectNear(const FixedRect& got, const Box& want, double tolerance, const std::string& what)
{
    const Box b = ToBox(got);
    EXPECT_LE(Distance(b, want), tolerance)
        << what << ": got " << Show(b) << ", want " << Show(want);
}

// The samples' graphics have exactly known ink; text is checked above.
TEST(PdfBoundingBox, MarksAsAUserCroppingToThemWants)
{
    auto doc = OpenClean(Sample("mixed.pdf"));
    // A 10 pt mitred stroke around 100 100 200 300: the ink reaches 5 pt out,
    // not the 50 pt a miter-limit allowance would give.
    const Box p4 = ToBox(doc->boundingBox(3));
    EXPECT_NEAR(p4.x0, 95.0, 0.01);
    EXPECT_NEAR(p4.y0, 95.0, 0.01);
    // Only what the page shows counts: marks past the media box (left and
    // top here) and past the crop box are cut there.
    const Box p5 = ToBox(doc->boundingBox(4));
    EXPECT_NEAR(p5.x0, 100.0, 0.01);
    EXPECT_NEAR(p5.y1, 992.0, 0.01);
    EXPECT_NEAR(ToBox(doc->boundingBox(2)).x1, 756.0, 0.01) << "past the crop box's right side";
    // A blank page: its media box.
    ExpectNear(doc->boundingBox(5), Box{0, 0, 612, 792}, 0, "blank page");
    // A white page-sized background is no mark; a fill clipped to a small
    // square counts as that square.
    ExpectNear(doc->boundingBox(6), Box{250, 350, 350, 550}, 0.01, "white background");
}

// MuPDF's page space starts at the corner of the visible box; moving the
// crop box must not move the marks. A crop to the marks finds them again.
TEST(PdfBoundingBox, DoesNotDependOnTheCropBox)
{
    auto before = OpenClean(Sample("mixed.pdf"));
    auto after = OpenClean(Sample("mixed.pdf"));
    for (int page = 0; page < before->pageCount(); ++page) {
        const FixedRect want = before->boundingBox(page);
        after->setCropBox(page, want);
        ExpectNear(after->boundingBox(page), ToBox(want), 1e-4, "page " + std::to_string(page + 1));
    }
}

// Below 128 pt a float holds positions between the 1/65536 steps of page
// units: such an edge must round outward, or the box cuts into the mark.
TEST(PdfBoundingBox, EdgesOffThePageUnitGridRoundOutward)
{
    ScratchDir dir;
    const std::string path = dir.path("off-grid.pdf");
    samplegen::PdfWriter pdf;
    const int pages = pdf.reserve();
    const int content = pdf.reserve();
    pdf.setStream(content, "", "0 g 10.7 20 m 100.1 20 l 100.1 60 l 10.7 60 l f");
    const int page =
        pdf.add("<< /Type /Page /Parent " + std::to_string(pages) +
                " 0 R /MediaBox [0 0 200 200] /Contents " + std::to_string(content) + " 0 R >>");
    pdf.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    pdf.write(path, pdf.add("<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>"));

    auto doc = OpenClean(path);
    const FixedRect box = doc->boundingBox(0);
    // The edges as MuPDF reads them (floats), in exact page units.
    const double left = double(10.7f) * 65536.0;
    const double right = double(100.1f) * 65536.0;
    ASSERT_NE(std::floor(right), right) << "the right edge lies off the grid";
    ASSERT_NE(std::floor(left), left) << "the left edge lies off the grid";
    EXPECT_EQ(double(box.right), std::ceil(right));
    EXPECT_EQ(double(box.left), std::floor(left));
    EXPECT_LE(ToBox(box).y0, 20.0);
    EXPECT_GE(ToBox(box).y1, 60.0);
    EXPECT_LT(Distance(ToBox(box), Box{10.7, 20, 100.1, 60}), 1e-4);
}

}  // namespace
