// SPDX-License-Identifier: AGPL-3.0-or-later
// The marks inside images: pages written here with images whose ink lies at
// known pixels, painted through transforms, clips and masks, and images
// that cannot be decoded; and what a crop box hides.
#include "pdf/pdf_test_support.h"
#include "pdf_writer.h"

#include <gtest/gtest.h>

#include <vector>

using namespace pdftest;

namespace {

// A grey image, white but for black rectangles given in pixels (x0, y0, x1,
// y1; rows counted from the top, ends excluded).
struct Rect {
    int x0, y0, x1, y1;
};

std::string GreyImage(int w, int h, const std::vector<Rect>& black, unsigned char ink = 0)
{
    std::string samples(size_t(w) * size_t(h), char(255));
    for (const Rect& r : black)
        for (int y = r.y0; y < r.y1; ++y)
            for (int x = r.x0; x < r.x1; ++x)
                samples[size_t(y) * size_t(w) + size_t(x)] = char(ink);
    return samples;
}

struct Image {
    std::string dict;  // besides /Type, /Subtype and /Length
    std::string data;
};

Image Grey(int w, int h, const std::vector<Rect>& black, unsigned char ink = 0)
{
    return Image{"/Width " + std::to_string(w) + " /Height " + std::to_string(h) +
                     " /ColorSpace /DeviceGray /BitsPerComponent 8",
                 GreyImage(w, h, black, ink)};
}

// One 200 x 200 pt page painting `content` with the image as /Im1 (and its
// soft mask, when given) and Helvetica as /F1.
std::string WritePage(const ScratchDir& dir, const std::string& content, const Image& image,
                      const Image* softMask = nullptr, const std::string& pageExtra = "")
{
    const std::string path = dir.path("page.pdf");
    samplegen::PdfWriter pdf;
    const int pages = pdf.reserve();
    std::string imageDict = "/Type /XObject /Subtype /Image " + image.dict;
    if (softMask) {
        const int mask = pdf.reserve();
        pdf.setStream(mask, "/Type /XObject /Subtype /Image " + softMask->dict, softMask->data);
        imageDict += " /SMask " + std::to_string(mask) + " 0 R";
    }
    const int im = pdf.reserve();
    pdf.setStream(im, imageDict, image.data);
    const int font = pdf.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    const int stream = pdf.reserve();
    pdf.setStream(stream, "", content);
    const int page =
        pdf.add("<< /Type /Page /Parent " + std::to_string(pages) +
                " 0 R /MediaBox [0 0 200 200] " + pageExtra + " /Resources << /XObject << /Im1 " +
                std::to_string(im) + " 0 R >> /Font << /F1 " + std::to_string(font) +
                " 0 R >> >> /Contents " + std::to_string(stream) + " 0 R >>");
    pdf.set(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    pdf.write(path, pdf.add("<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>"));
    return path;
}

Box BoxOf(const std::string& path, const vellora::InkSettings& ink = {})
{
    std::vector<std::string> warnings;
    auto doc = vellora::OpenPdfDocument(path, warnings, "", vellora::OpenFor::Anything, ink);
    return ToBox(doc->boundingBox(0));
}

void ExpectBox(const Box& got, const Box& want, const std::string& what, double tolerance = 0.01)
{
    EXPECT_LE(Distance(got, want), tolerance)
        << what << ": got " << Show(got) << ", want " << Show(want);
}

// 400 x 400 pixels over 100 pt: decoded at half size. Ink at pixels 80..160
// across and 40..120 down, and a 2 x 2 pixel speck (half a point).
Image Scan()
{
    return Grey(400, 400, {{80, 40, 160, 120}, {360, 360, 362, 362}});
}

TEST(PdfImageInk, AScannedImageCountsItsInkNotItsFrame)
{
    ScratchDir dir;
    const std::string path = WritePage(dir, "q 100 0 0 100 50 50 cm /Im1 Do Q", Scan());
    ExpectBox(BoxOf(path), Box{70, 120, 90, 140}, "upright");
    // An invisible text layer (render mode 3), as OCR writes it, is no mark.
    const std::string ocr = WritePage(
        dir, "q 100 0 0 100 50 50 cm /Im1 Do Q BT 3 Tr /F1 12 Tf 5 5 Td (recognised text) Tj ET",
        Scan());
    ExpectBox(BoxOf(ocr), Box{70, 120, 90, 140}, "with an OCR layer");
}

TEST(PdfImageInk, TransformsAndClipsApplyToTheInk)
{
    ScratchDir dir;
    // Turned a quarter: x = 150 - 100 t, y = 50 + 100 s.
    ExpectBox(BoxOf(WritePage(dir, "q 0 100 -100 0 150 50 cm /Im1 Do Q", Scan())),
              Box{60, 70, 80, 90}, "rotated image matrix");
    ExpectBox(BoxOf(WritePage(dir, "q 75 0 100 200 re W n 100 0 0 100 50 50 cm /Im1 Do Q", Scan())),
              Box{75, 120, 90, 140}, "under a clip");
    // A page turned by /Rotate keeps its marks in its own space.
    ExpectBox(
        BoxOf(WritePage(dir, "q 100 0 0 100 50 50 cm /Im1 Do Q", Scan(), nullptr, "/Rotate 90")),
        Box{70, 120, 90, 140}, "/Rotate 90");
}

TEST(PdfImageInk, ASoftMaskHidesWhatItCovers)
{
    ScratchDir dir;
    // Ink left (pixels 20..40) and right (60..80); the mask hides the left half.
    const Image image = Grey(100, 100, {{20, 10, 40, 30}, {60, 50, 80, 70}});
    std::string hidden(100 * 100, char(255));
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 50; ++x)
            hidden[size_t(y * 100 + x)] = 0;
    const Image mask{"/Width 100 /Height 100 /ColorSpace /DeviceGray /BitsPerComponent 8", hidden};
    ExpectBox(BoxOf(WritePage(dir, "q 100 0 0 100 50 50 cm /Im1 Do Q", image, &mask)),
              Box{110, 80, 130, 100}, "soft mask");
}

TEST(PdfImageInk, StencilMasksAndInlineImages)
{
    ScratchDir dir;
    // A 16 x 16 stencil, 1 bit a pixel, painting (0 bits) pixels 4..8 across and
    // 2..6 down; each pixel 10 pt.
    std::string bits(16 * 2, char(0xFF));
    for (int y = 2; y < 6; ++y)
        bits[size_t(y * 2)] = char(0xF0);
    const Image stencil{"/Width 16 /Height 16 /ImageMask true /BitsPerComponent 1", bits};
    ExpectBox(BoxOf(WritePage(dir, "q 0 g 160 0 0 160 20 20 cm /Im1 Do Q", stencil)),
              Box{60, 120, 100, 160}, "stencil in black");
    // Painted white, or too pale to count, it is no mark: the page is blank.
    ExpectBox(BoxOf(WritePage(dir, "q 1 g 160 0 0 160 20 20 cm /Im1 Do Q", stencil)),
              Box{0, 0, 200, 200}, "stencil in white");
    ExpectBox(BoxOf(WritePage(dir, "q 0.9 g 160 0 0 160 20 20 cm /Im1 Do Q", stencil)),
              Box{0, 0, 200, 200}, "stencil in pale grey");

    // A 4 x 4 inline image, each pixel 10 pt, dark at pixels 1..3 across, 1..3 down.
    const std::string pixels = GreyImage(4, 4, {{1, 1, 3, 3}});
    ExpectBox(BoxOf(WritePage(
                  dir, "q 40 0 0 40 100 100 cm BI /W 4 /H 4 /CS /G /BPC 8 ID " + pixels + " EI Q",
                  Scan())),
              Box{110, 110, 130, 130}, "inline image");
}

TEST(PdfImageInk, ThresholdAndDarkEdgesAreSettings)
{
    ScratchDir dir;
    // A pale block (10% from white) and a dark one, and a dark band down the
    // left edge, as a scanner's lid leaves it.
    Image image = Grey(100, 100, {{0, 0, 6, 100}, {40, 40, 60, 60}});
    for (int y = 20; y < 30; ++y)
        for (int x = 70; x < 90; ++x)
            image.data[size_t(y * 100 + x)] = char(230);
    const std::string path = WritePage(dir, "q 100 0 0 100 50 50 cm /Im1 Do Q", image);
    ExpectBox(BoxOf(path), Box{50, 50, 110, 150}, "band and dark block");
    vellora::InkSettings ignoring;
    ignoring.ignoreDarkEdges = true;
    ExpectBox(BoxOf(path, ignoring), Box{90, 90, 110, 110}, "band ignored");
    ignoring.threshold = 5;
    ExpectBox(BoxOf(path, ignoring), Box{90, 90, 140, 130}, "pale block counts at 5%");
}

TEST(PdfImageInk, DamagedImagesGiveTheirFrameOrAnError)
{
    ScratchDir dir;
    const Box frame{50, 50, 150, 150};
    Image cut = Scan();
    cut.data.resize(1000);
    Image wrongSize = Scan();
    wrongSize.dict = "/Width 900 /Height 700 /ColorSpace /DeviceGray /BitsPerComponent 8";
    Image badFlate = Scan();
    badFlate.dict += " /Filter /FlateDecode";
    for (const Image* image : {&cut, &wrongSize, &badFlate}) {
        const std::string path = WritePage(dir, "q 100 0 0 100 50 50 cm /Im1 Do Q", *image);
        try {
            const Box got = BoxOf(path);
            EXPECT_TRUE(got.x0 >= frame.x0 - 0.01 && got.y0 >= frame.y0 - 0.01 &&
                        got.x1 <= frame.x1 + 0.01 && got.y1 <= frame.y1 + 0.01)
                << image->dict << ": " << Show(got) << " lies outside the frame";
        } catch (const vellora::HostError& e) {
            EXPECT_NE(std::string(e.what()).find("page 1"), std::string::npos) << e.what();
        }
    }
}

TEST(PdfImageInk, OnlyWhatTheCropBoxShowsCounts)
{
    ScratchDir dir;
    // Marks at 20..40 and 120..160 across; the crop box shows from 60 on.
    const std::string path = WritePage(dir, "0 g 20 20 20 20 re f 120 100 40 40 re f", Scan(),
                                       nullptr, "/CropBox [60 10 200 200]");
    std::vector<std::string> warnings;
    auto doc = vellora::OpenPdfDocument(path, warnings);
    ExpectBox(ToBox(doc->boundingBox(0)), Box{120, 100, 160, 140}, "inside the file's crop box");
    // A crop box set later is honoured, and one that shows no marks is the answer.
    doc->setCropBox(0, FixedBox(130, 0, 200, 120));
    ExpectBox(ToBox(doc->boundingBox(0)), Box{130, 100, 160, 120}, "inside a crop box set later");
    doc->setCropBox(0, FixedBox(0, 150, 200, 200));
    ExpectBox(ToBox(doc->boundingBox(0)), Box{0, 150, 200, 200}, "no marks shown");
    doc->setCropBox(0, FixedBox(0, 0, 200, 200));
    ExpectBox(ToBox(doc->boundingBox(0)), Box{20, 20, 160, 140}, "reset to the media box");
}

}  // namespace
