// SPDX-License-Identifier: AGPL-3.0-or-later
// Crop boxes set and saved, checked with independent readers: qpdf for the
// file's structure, poppler's pdfinfo for the boxes.
#include "pdf/pdf_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <iostream>

using namespace pdftest;
using vellora::HostError;
using vellora::SaveMode;

namespace {

// A different crop box for every page, fractions included, inside every
// media box of the samples (readers clip crop boxes to the media box).
FixedRect CropFor(int page)
{
    return FixedBox(110 + page, 220.5 + page, 300.25 + 3 * page, 400.125 + 2 * page);
}

void ExpectSameRect(const FixedRect& a, const FixedRect& b, const std::string& what)
{
    EXPECT_TRUE(a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom)
        << what;
}

void ExpectReaderSeesCrops(const std::string& path, int pages)
{
    std::string report;
    EXPECT_TRUE(QpdfCheckClean(path, &report)) << report;
    const std::vector<Box> crops = PdfinfoBoxes(path, pages, "CropBox");
    ASSERT_EQ(int(crops.size()), pages) << path;
    for (int page = 0; page < pages; ++page) {
        const Box want = ToBox(CropFor(page));
        const Box got = crops[size_t(page)];
        EXPECT_NEAR(got.x0, want.x0, 0.006) << path << " page " << page + 1;
        EXPECT_NEAR(got.y0, want.y0, 0.006) << path << " page " << page + 1;
        EXPECT_NEAR(got.x1, want.x1, 0.006) << path << " page " << page + 1;
        EXPECT_NEAR(got.y1, want.y1, 0.006) << path << " page " << page + 1;
    }
}

TEST(PdfSave, CropBoxesSurviveIncrementalAndFullSaves)
{
    ScratchDir dir;
    const std::string input = Sample("mixed.pdf");
    const std::string original = ReadBytes(input);
    auto doc = OpenClean(input);
    ASSERT_EQ(doc->permissions(), VX_PERMISSION_EDIT);
    const int pages = doc->pageCount();
    for (int page = 0; page < pages; ++page)
        doc->setCropBox(page, CropFor(page));
    // Kept exactly, even where a PDF real could not hold it.
    const FixedRect odd{0x12345678, 0x7FFFFFFF, 0x7FFFFFFE, -0x7FFFFFFF};
    doc->setCropBox(0, odd);
    ExpectSameRect(doc->cropBox(0), odd, "set crop box");
    doc->setCropBox(0, CropFor(0));

    doc->save(dir.path("inc.pdf"), SaveMode::Incremental);
    doc->save(dir.path("full.pdf"), SaveMode::Full);
    for (int page = 0; page < pages; ++page)
        ExpectSameRect(doc->cropBox(page), CropFor(page), "after saving");

    ExpectReaderSeesCrops(dir.path("inc.pdf"), pages);
    ExpectReaderSeesCrops(dir.path("full.pdf"), pages);
    const std::string inc = ReadBytes(dir.path("inc.pdf"));
    EXPECT_EQ(inc.compare(0, original.size(), original), 0) << "an incremental save appends";
    EXPECT_EQ(ReadBytes(input), original) << "the input is never changed";

    auto reread = OpenClean(dir.path("full.pdf"));
    for (int page = 0; page < pages; ++page)
        EXPECT_LE(Distance(ToBox(reread->cropBox(page)), ToBox(CropFor(page))), 1e-4);
}

// Saving once and carrying on: every later save, incremental or in place,
// holds all changes so far and passes qpdf.
TEST(PdfSave, LaterSavesBuildOnEarlierOnes)
{
    ScratchDir dir;
    auto doc = OpenClean(Sample("mixed.pdf"));
    doc->setCropBox(0, CropFor(0));
    doc->save(dir.path("a.pdf"), SaveMode::Incremental);
    doc->setCropBox(1, CropFor(1));
    doc->save(dir.path("b.pdf"), SaveMode::Incremental);
    doc->setCropBox(2, CropFor(2));
    doc->save(dir.path("b.pdf"), SaveMode::Incremental);  // over the document's own file

    std::string report;
    EXPECT_TRUE(QpdfCheckClean(dir.path("b.pdf"), &report)) << report;
    const std::vector<Box> crops = PdfinfoBoxes(dir.path("b.pdf"), 4, "CropBox");
    ASSERT_EQ(crops.size(), 4u);
    for (int page = 0; page < 3; ++page)
        EXPECT_LE(Distance(crops[size_t(page)], ToBox(CropFor(page))), 0.006) << page + 1;
    EXPECT_LE(Distance(crops[3], Box{0, 0, 612, 792}), 0.006) << "page 4 untouched";
    EXPECT_EQ(std::filesystem::status(dir.path("b.pdf")).permissions(),
              std::filesystem::status(dir.path("a.pdf")).permissions());
}

TEST(PdfSave, IncrementalSaveOfOnePageAppendsLittle)
{
    ScratchDir dir;
    const std::string input = Sample("text-1000.pdf");
    auto doc = OpenClean(input);
    doc->setCropBox(499, CropFor(499));
    doc->save(dir.path("one.pdf"), SaveMode::Incremental);
    const auto appended =
        std::filesystem::file_size(dir.path("one.pdf")) - std::filesystem::file_size(input);
    std::cout << "[ figure ] one crop box on a " << std::filesystem::file_size(input)
              << "-byte, 1000-page file appends " << appended << " bytes\n";
    EXPECT_LT(appended, 4096u);
    std::string report;
    EXPECT_TRUE(QpdfCheckClean(dir.path("one.pdf"), &report)) << report;
}

// A file whose cross-reference table is wrong: MuPDF rebuilds it, the user
// is told in one line, and the save is a complete file.
TEST(PdfSave, RepairedFileOpensWithOneWarningAndSavesInFull)
{
    ScratchDir dir;
    std::string bytes = ReadBytes(Sample("mixed.pdf"));
    const auto at = bytes.rfind("startxref\n");
    ASSERT_NE(at, std::string::npos);
    bytes = bytes.substr(0, at) + "startxref\n123\n%%EOF\n";
    const std::string damaged = dir.path("damaged.pdf");
    WriteBytes(damaged, bytes);

    std::vector<std::string> warnings;
    auto doc = vellora::OpenPdfDocument(damaged, warnings);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind(damaged + ": damaged; repaired on opening (", 0), 0u)
        << warnings[0];
    EXPECT_EQ(doc->pageCount(), 7);
    doc->setCropBox(0, CropFor(0));
    doc->save(dir.path("saved.pdf"), SaveMode::Incremental);
    EXPECT_NE(ReadBytes(dir.path("saved.pdf")).compare(0, bytes.size(), bytes), 0)
        << "written in full, not appended to the damaged file";
    std::string report;
    EXPECT_TRUE(QpdfCheckClean(dir.path("saved.pdf"), &report)) << report;
    EXPECT_EQ(ReadBytes(damaged), bytes);
}

// MuPDF holds numbers as floats and prints them so in a whole write: the
// page objects get their own text back, only the crop box set anew, and
// their references still lead where they led.
TEST(PdfSave, WholeWritesKeepThePagesNumbersAsWritten)
{
    const std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 5 0 R 6 0 R] /Count 3 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612.987654321 792] /Contents 4 0 R "
        "/UserUnit 1.000000001 /Big 123456789.123456789 >>",
        "<< /Length 0 >>\nstream\n\nendstream",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595.2756 841.8898] /Contents 4 0 R >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0.0 0.0 612 792.000000000001] >>"};
    std::string bytes = "%PDF-1.7\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(bytes.size());
        bytes += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    // No cross-reference table at all: MuPDF finds the objects and writes
    // the whole file.
    bytes += "trailer\n<< /Size 7 /Root 1 0 R >>\nstartxref\n999\n%%EOF\n";
    ScratchDir dir;
    const std::string damaged = dir.path("damaged.pdf");
    WriteBytes(damaged, bytes);
    std::vector<std::string> warnings;
    auto doc = vellora::OpenPdfDocument(damaged, warnings);
    ASSERT_EQ(doc->pageCount(), 3);
    doc->setCropBox(0, FixedBox(10, 20, 300.5, 400));
    const std::string saved = dir.path("saved.pdf");
    doc->save(saved, SaveMode::Incremental);
    EXPECT_FALSE(doc->wholeFileReason().empty());
    std::string report;
    EXPECT_TRUE(QpdfCheckClean(saved, &report)) << report;
    // qpdf shows reals as the file spells them.
    const auto shown = [&saved](int num) {
        return RunCommand("qpdf --show-object=" + std::to_string(num) + " " + Quote(saved)).output;
    };
    const std::string first = shown(3);
    for (const char* kept : {"612.987654321", "/UserUnit 1.000000001", "123456789.123456789",
                             "/Contents 4 0 R", "10 20 300.5 400"})
        EXPECT_NE(first.find(kept), std::string::npos) << kept << " in " << first;
    EXPECT_NE(shown(5).find("595.2756 841.8898"), std::string::npos) << shown(5);
    EXPECT_NE(shown(6).find("792.000000000001"), std::string::npos) << shown(6);
    const std::vector<Box> crops = PdfinfoBoxes(saved, 3, "CropBox");
    ASSERT_EQ(crops.size(), 3u);
    EXPECT_LE(Distance(crops[0], Box{10, 20, 300.5, 400}), 0.006);

    // Carried on from the file written: a second save appends to it.
    doc->setCropBox(1, FixedBox(30, 40, 500, 700));
    doc->save(saved, SaveMode::Incremental);
    EXPECT_TRUE(doc->wholeFileReason().empty());
    EXPECT_TRUE(QpdfCheckClean(saved, &report)) << report;
    EXPECT_NE(shown(3).find("612.987654321"), std::string::npos) << shown(3);
}

TEST(PdfSave, BlankDocumentKeepsItsGeometry)
{
    ScratchDir dir;
    std::vector<vellora::PageSetup> pages(3);
    pages[0].media = FixedBox(0, 0, 612, 792);
    pages[1].media = FixedBox(-20, 10.5, 400, 300);
    pages[1].crop = FixedBox(0, 20, 300.25, 200);
    pages[1].rotation = 90;
    pages[2].media = FixedBox(0, 0, 842, 595);
    pages[2].rotation = 45;
    const std::string path = dir.path("blank.pdf");
    vellora::WriteBlankPdf(pages, path);

    std::string report;
    EXPECT_TRUE(QpdfCheckClean(path, &report)) << report;
    auto doc = OpenClean(path);
    ASSERT_EQ(doc->pageCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const auto& p = pages[size_t(i)];
        ExpectSameRect(doc->mediaBox(i), p.media, "media " + std::to_string(i + 1));
        ExpectSameRect(doc->cropBox(i), p.crop.value_or(p.media), "crop " + std::to_string(i + 1));
        EXPECT_EQ(doc->rotation(i), p.rotation);
        // No marks: the box the page shows.
        ExpectSameRect(doc->boundingBox(i), p.crop.value_or(p.media), "blank page marks");
    }
    EXPECT_THROW(vellora::WriteBlankPdf({}, dir.path("none.pdf")), HostError);
    EXPECT_FALSE(std::filesystem::exists(dir.path("none.pdf")));
}

}  // namespace
