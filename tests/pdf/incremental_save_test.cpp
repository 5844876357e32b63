// SPDX-License-Identifier: AGPL-3.0-or-later
// The update an incremental save appends: compact (one cross-reference
// subsection, few bytes a page), readable by every reader, correct over
// several saves in a row, for classic and xref-stream files, and changing
// nothing of a page but its crop box.
#include "backend/pdf/incremental_update.h"
#include "backend/pdf/object_text.h"
#include "files/replacement_file.h"
#include "pdf/pdf_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <regex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pdftest;
using vellora::SaveMode;
namespace vp = vellora::pdf;

namespace {

// A PDF file made of these objects (numbered from 1) with a classic table.
std::string MakePdf(const std::vector<std::string>& objects, int root)
{
    std::string out = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t at : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", at);
        out += line;
    }
    return out + "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root " +
           std::to_string(root) + " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

std::string Tail(const std::string& path, size_t from)
{
    return ReadBytes(path).substr(from);
}

// The subsection headers of a classic section ("first count" lines).
int ClassicSubsections(const std::string& update)
{
    const auto xref = update.rfind("\nxref\n");
    const auto trailer = update.rfind("trailer");
    if (xref == std::string::npos || trailer == std::string::npos)
        return -1;
    const std::string table = update.substr(xref + 6, trailer - xref - 6);
    static const std::regex header("(^|\n)[0-9]+ [0-9]+\n");
    return int(std::distance(std::sregex_iterator(table.begin(), table.end(), header),
                             std::sregex_iterator()));
}

void ExpectReadersAgree(const std::string& path, int pages, const std::vector<Box>& crops)
{
    std::string report;
    EXPECT_TRUE(QpdfCheckClean(path, &report)) << report;
    const std::vector<Box> seen = PdfinfoBoxes(path, pages, "CropBox");
    ASSERT_EQ(seen.size(), crops.size()) << path;
    for (size_t i = 0; i < crops.size(); ++i)
        EXPECT_LE(Distance(seen[i], crops[i]), 0.006) << path << " page " << i + 1;
    const CommandResult mutool = RunCommand("mutool show " + Quote(path) + " trailer");
    EXPECT_EQ(mutool.status, 0) << mutool.output;
    EXPECT_EQ(mutool.output.find("warning"), std::string::npos) << mutool.output;
    EXPECT_EQ(mutool.output.find("error"), std::string::npos) << mutool.output;
    const CommandResult text = RunCommand("pdftotext -l 3 " + Quote(path) + " -");
    EXPECT_EQ(text.status, 0) << text.output;
    const CommandResult gs =
        RunCommand("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=nullpage -dLastPage=2 " + Quote(path));
    EXPECT_EQ(gs.status, 0) << gs.output;
    EXPECT_EQ(gs.output.find("rror"), std::string::npos) << gs.output;
    auto reread = OpenClean(path);
    for (size_t i = 0; i < crops.size(); ++i)
        EXPECT_LE(Distance(ToBox(reread->cropBox(int(i))), crops[i]), 1e-4)
            << path << " page " << i + 1;
}

FixedRect CropFor(int page)
{
    return FixedBox(50 + page % 7, 60.25 + page % 5, 500 - page % 3, 700.5);
}

std::vector<Box> Expected(int pages, const std::vector<bool>& cropped, Box uncropped)
{
    std::vector<Box> boxes;
    for (int i = 0; i < pages; ++i)
        boxes.push_back(cropped[size_t(i)] ? ToBox(CropFor(i)) : uncropped);
    return boxes;
}

TEST(PdfObjectText, ReplacesOnlyTheValueOfTheTopLevelKey)
{
    const std::string dict =
        "<< /Type /Page /Annots [ << /CropBox [1 2 3 4] >> ] /S (a >> ( b ) \\) c) % /CropBox\n"
        "/Crop#42ox [0 0 611.971653543307 791.971653543307] /P 12 0 R /H <3E3E> >>";
    EXPECT_EQ(
        vp::WithKeyValue(dict, "CropBox", "[9 9 9 9]").value(),
        "<< /Type /Page /Annots [ << /CropBox [1 2 3 4] >> ] /S (a >> ( b ) \\) c) % /CropBox\n"
        "/Crop#42ox [9 9 9 9] /P 12 0 R /H <3E3E> >>");
    EXPECT_EQ(vp::WithKeyValue("<</Type/Page/Parent 3 0 R>>", "CropBox", "[1 2 3 4]").value(),
              "<</Type/Page/Parent 3 0 R /CropBox [1 2 3 4] >>");
    EXPECT_EQ(vp::WithKeyValue("<< /CropBox 7 0 R /Rotate 90 >>", "CropBox", "[1 2 3 4]").value(),
              "<< /CropBox [1 2 3 4] /Rotate 90 >>");
    EXPECT_EQ(vp::WithKeyValue("<< /CropBox [1 2 3 4] /Rotate 90 >>", "CropBox", "").value(),
              "<<  /Rotate 90 >>");
    for (const char* broken : {"<< /Type /Page", "<< /Type ) >>", "<< 12 /Page >>", "[1 2]"})
        EXPECT_FALSE(vp::WithKeyValue(broken, "CropBox", "[1 2 3 4]")) << broken;

    const std::string file = "junk 12 0 obj\n<< /Type /Page >>\nendobj";
    EXPECT_EQ(vp::ObjectHeaderAt(file, 4, 12, 0).value(), 13u);
    EXPECT_FALSE(vp::ObjectHeaderAt(file, 4, 12, 1));
    EXPECT_FALSE(vp::ObjectHeaderAt(file, 4, 1, 0));
    const auto span = vp::DictionaryAt(file, 13);
    ASSERT_TRUE(span);
    EXPECT_EQ(file.substr(span->begin, span->end - span->begin), "<< /Type /Page >>");
    EXPECT_TRUE(vp::HoldsStrings("<< /A (x) >>"));
    EXPECT_TRUE(vp::HoldsStrings("<< /A <00> >>"));
    EXPECT_FALSE(vp::HoldsStrings("<< /A << /B [1 /C] >> >>"));

    const std::string numbered =
        "<< /A 1 /B [2.5 -.3 +7] /C (8 0 R) /N#31 <39> /D 4 0 R % 9\n"
        "/E [10 2 R 11 12 13 R] >>";
    const std::vector<std::string_view> numbers = vp::NumbersIn(numbered);
    EXPECT_EQ(numbers, (std::vector<std::string_view>{"1", "2.5", "-.3", "+7", "4", "0", "10", "2",
                                                      "11", "12", "13"}));
    EXPECT_EQ(vp::ReferencesIn(numbered),
              (std::vector<std::pair<long, long>>{{4, 0}, {10, 2}, {12, 13}}));
}

TEST(PdfObjectText, FindsAnObjectByItsPlaceInAnObjectStreamsHeader)
{
    // Objects 7, 9 and 12 at 0, 14 and 30 from /First (16).
    const std::string data = "7 0 9 14 12 30  << /A 1 >>    << /B 2 >>      << /C 3 >>";
    EXPECT_EQ(vp::ObjectInStreamAt(data, 16, 0, 7).value(), 16u);
    EXPECT_EQ(vp::ObjectInStreamAt(data, 16, 1, 9).value(), 30u);
    EXPECT_EQ(vp::ObjectInStreamAt(data, 16, 2, 12).value(), 46u);
    // Another number in that place, a place past the header, an offset past
    // the data, and no header at all.
    EXPECT_FALSE(vp::ObjectInStreamAt(data, 16, 1, 7));
    EXPECT_FALSE(vp::ObjectInStreamAt(data, 16, 5, 12));
    EXPECT_FALSE(vp::ObjectInStreamAt("4 900 << >>", 6, 0, 4));
    EXPECT_FALSE(vp::ObjectInStreamAt("", 0, 0, 0));
}

TEST(PdfIncrementalUpdate, SpansTheChangedObjectsInOneSubsectionUnlessTheGapIsLong)
{
    vp::FileXref xref;
    xref.length = 1000;
    xref.startxref = 900;
    xref.size = 3000;
    xref.trailerKeys = "/Root 1 0 R ";
    xref.entries.resize(3000);
    for (int i = 1; i < 3000; ++i)
        xref.entries[size_t(i)] = vp::XrefEntry{'n', 0, 10 * i};
    xref.entries[50] = vp::XrefEntry{'o', 3, 7};  // a classic table cannot list it
    const auto update = vp::MakeUpdate(
        xref,
        {{12, 0, "<<>>"}, {10, 0, "<<>>"}, {40, 0, "<<>>"}, {60, 0, "<<>>"}, {2000, 0, "<<>>"}});
    const std::string& text = update.bytes;
    EXPECT_NE(text.find("\nxref\n10 31\n0000001000 00000 n \n0000000110 00000 n \n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n60 1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n2000 1\n"), std::string::npos) << text;
    EXPECT_EQ(ClassicSubsections(text), 3) << text;
    EXPECT_NE(text.find("trailer\n<< /Size 3000 /Prev 900 /Root 1 0 R  >>\nstartxref\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(update.after.entries[10].ofs, 1000);
    EXPECT_EQ(update.after.length, 1000 + int64_t(text.size()));
    EXPECT_EQ(text.substr(size_t(update.after.startxref - 1000), 5), "xref\n");

    xref.stream = true;
    const auto streamed = vp::MakeUpdate(xref, {{40, 0, "<<>>"}, {60, 0, "<<>>"}});
    EXPECT_NE(
        streamed.bytes.find(
            "3000 0 obj\n<< /Type /XRef /Size 3001 /W [1 2 2] /Index [40 21 3000 1] /Prev 900"),
        std::string::npos)
        << streamed.bytes;
    EXPECT_EQ(streamed.after.size, 3001);
    EXPECT_THROW(vp::MakeUpdate(xref, {{3000, 0, "<<>>"}}), std::invalid_argument);
}

TEST(PdfIncrementalUpdate, EndsAtTheEndLineThatNamesTheNewestSection)
{
    const std::string end = "trailer\n<< /Size 9 >>\nstartxref\n120\n%%EOF\n";
    // What a killed append leaves: part of an update, then the old end line.
    const std::string killed =
        end + "9 0 obj\n<< /Ty" + std::string(100, '\0') + "  startxref\n120\n%%EOF\n";
    EXPECT_EQ(vp::UpdateEnd(killed, 120, true), end.size());
    // Another section's end, a number that only begins like it, a name
    // with no end line: not this one.
    const std::string others =
        "startxref\n12\n%%EOF\nstartxref\n1200\n%%EOF\n"
        "startxref\n120\n%%EOX\nstartxref 120 %%EOF\r\nrest";
    EXPECT_EQ(vp::UpdateEnd(others, 120, true), others.size() - 4);
    EXPECT_FALSE(vp::UpdateEnd("startxref\n120\n", 120, true));
    EXPECT_FALSE(vp::UpdateEnd("startxref\n12", 120, false));
    // At the end of a window the line break may still come.
    EXPECT_FALSE(vp::UpdateEnd("startxref\n120\n%%EOF", 120, false));
    EXPECT_EQ(vp::UpdateEnd("startxref\n120\n%%EOF", 120, true), 19u);
    EXPECT_EQ(vp::UpdateEnd("startxref\r\n120\r\n%%EOF\r\n", 120, false).value_or(0), 23u);
}

// Every page of the 1,000-page sample: few bytes a page, one subsection,
// every reader agrees; then two more saves in a row, one of them over the
// document's own file.
TEST(PdfIncrementalSave, CompactUpdatesThreeSavesInARow)
{
    ScratchDir dir;
    const std::string input = Sample("text-1000.pdf");
    const int pages = 1000;
    std::vector<bool> cropped(pages, false);
    auto doc = OpenClean(input);
    for (int i = 0; i < pages; ++i) {
        doc->setCropBox(i, CropFor(i));
        cropped[size_t(i)] = true;
    }
    const std::string first = dir.path("first.pdf");
    doc->save(first, SaveMode::Incremental);
    const auto before = std::filesystem::file_size(input);
    const auto perPage = double(std::filesystem::file_size(first) - before) / pages;
    std::cout << "[ figure ] a crop of every page of a 1000-page file appends " << perPage
              << " bytes a page\n";
    EXPECT_LE(perPage, 200.0);
    const std::string update = Tail(first, before);
    EXPECT_EQ(ClassicSubsections(update), 1) << update.substr(update.rfind("\nxref\n"), 200);
    EXPECT_EQ(ReadBytes(first).compare(0, before, ReadBytes(input)), 0) << "appended";
    ExpectReadersAgree(first, pages, Expected(pages, cropped, Box{0, 0, 612, 792}));

    const std::string second = dir.path("second.pdf");
    doc->setCropBox(3, FixedBox(10, 10, 20, 20));
    doc->setCropBox(0,
                    FixedBox(0, 0, 612, 792));  // back to the media box: a crop box of its own now
    doc->save(second, SaveMode::Incremental);
    doc->setCropBox(999, FixedBox(1, 2, 3, 4));
    doc->save(second, SaveMode::Incremental);
    auto expected = Expected(pages, cropped, Box{0, 0, 612, 792});
    expected[0] = Box{0, 0, 612, 792};
    expected[3] = Box{10, 10, 20, 20};
    expected[999] = Box{1, 2, 3, 4};
    ExpectReadersAgree(second, pages, expected);
    const std::string all = ReadBytes(second);
    EXPECT_EQ(all.compare(0, std::filesystem::file_size(first), ReadBytes(first)), 0)
        << "each save appends to the last";
    const std::string last = all.substr(all.rfind("\nxref\n"));
    EXPECT_TRUE(
        std::regex_search(last, std::regex("^\nxref\n[0-9]+ 1\n[0-9]{10} [0-9]{5} n \ntrailer")))
        << "the last save holds page 1000 alone: " << last.substr(0, 80);
}

// A file with object streams and an xref stream gets an xref stream with
// one range for its pages, pages taken from the object streams as they
// were; saved again on top, still sound.
TEST(PdfIncrementalSave, XrefStreamFilesGetAnXrefStream)
{
    ScratchDir dir;
    const std::string packed = dir.path("packed.pdf");
    ASSERT_EQ(RunCommand("qpdf --object-streams=generate " + Quote(Sample("text-1000.pdf")) + " " +
                         Quote(packed))
                  .status,
              0);
    const int pages = 1000;
    std::vector<bool> cropped(pages, false);
    auto doc = OpenClean(packed);
    for (int i = 0; i < pages; i += 2) {
        doc->setCropBox(i, CropFor(i));
        cropped[size_t(i)] = true;
    }
    const std::string out = dir.path("out.pdf");
    doc->save(out, SaveMode::Incremental);
    const std::string update = Tail(out, std::filesystem::file_size(packed));
    const std::smatch index = [&] {
        std::smatch m;
        std::regex_search(
            update, m,
            std::regex("/Type /XRef /Size [0-9]+ /W \\[1 [0-9] 2\\] /Index \\[([0-9 ]+)\\]"));
        return m;
    }();
    ASSERT_FALSE(index.empty()) << update.substr(update.size() > 400 ? update.size() - 400 : 0);
    EXPECT_EQ(std::count(index[1].first, index[1].second, ' '), 3)
        << "the pages' range and the stream's own";
    EXPECT_LE(double(update.size()) / (pages / 2), 200.0);
    // Each page as qpdf spelled it in its object stream (MuPDF would print
    // "<</Contents").
    size_t spelled = 0;
    for (size_t at = update.find(" obj\n<< /Contents "); at != std::string::npos;
         at = update.find(" obj\n<< /Contents ", at + 1))
        ++spelled;
    EXPECT_EQ(spelled, size_t(pages / 2)) << update.substr(0, 300);
    ExpectReadersAgree(out, pages, Expected(pages, cropped, Box{0, 0, 612, 792}));
    doc->setCropBox(1, CropFor(1));
    cropped[1] = true;
    doc->save(out, SaveMode::Incremental);
    ExpectReadersAgree(out, pages, Expected(pages, cropped, Box{0, 0, 612, 792}));
}

// A page dictionary keeps every value but /CropBox byte for byte; a reset
// of pages that have no crop box appends nothing for them.
TEST(PdfIncrementalSave, NothingButTheCropBoxChanges)
{
    ScratchDir dir;
    const std::string page1 =
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 611.971653543307 791.971653543307] "
        "/UserUnit 1.0000 /PieceInfo << /X << /Private (a \\) string) /LastModified (D:2020) >> >> "
        "/Contents 4 0 R /Rotate 0.0 >>";
    const std::string page3 =
        "<</Type/Page/Parent 2 0 R/Contents 4 0 R/CropBox[ 10 10 300.123456789 400 ]>>";
    const std::string input = dir.path("odd.pdf");
    WriteBytes(
        input,
        MakePdf({"<< /Type /Catalog /Pages 2 0 R >>",
                 "<< /Type /Pages /Kids [3 0 R 5 0 R 6 0 R] /Count 3 /MediaBox [0 0 500 600] >>",
                 page1, "<< /Length 0 >>\nstream\n\nendstream", page3,
                 "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>"},
                1));
    const std::string original = ReadBytes(input);
    auto doc = OpenClean(input);
    ASSERT_EQ(doc->pageCount(), 3);

    // Reset of every page to its media box: pages 1 and 3 have no crop box
    // and stay as they are; page 2 has one of its own.
    for (int i = 0; i < 3; ++i)
        doc->setCropBox(i, doc->mediaBox(i));
    const std::string reset = dir.path("reset.pdf");
    doc->save(reset, SaveMode::Incremental);
    const std::string update = Tail(reset, original.size());
    EXPECT_EQ(update.find("3 0 obj"), std::string::npos) << update;
    EXPECT_EQ(update.find("6 0 obj"), std::string::npos) << update;
    EXPECT_NE(
        update.find(
            "5 0 obj\n<</Type/Page/Parent 2 0 R/Contents 4 0 R/CropBox[0 0 500 600]>>\nendobj\n"),
        std::string::npos)
        << update;

    doc->setCropBox(0, FixedBox(100, 100.5, 300, 400));
    doc->setCropBox(2, FixedBox(1, 2, 3, 4));
    const std::string cropped = dir.path("cropped.pdf");
    doc->save(cropped, SaveMode::Incremental);
    const std::string second = Tail(cropped, std::filesystem::file_size(reset));
    EXPECT_NE(second.find("3 0 obj\n" + page1.substr(0, page1.size() - 2) +
                          "/CropBox [100 100.5 300 400] >>\nendobj\n"),
              std::string::npos)
        << second;
    EXPECT_NE(second.find("6 0 obj\n<< /Type /Page /Parent 2 0 R /Contents 4 0 R /CropBox [1 2 3 "
                          "4] >>\nendobj\n"),
              std::string::npos)
        << second;
    EXPECT_EQ(second.find("5 0 obj"), std::string::npos) << "unchanged since the last save";
    std::string report;
    EXPECT_TRUE(QpdfCheckClean(cropped, &report)) << report;

    // An untouched file reset in full appends nothing at all.
    auto fresh = OpenClean(input);
    fresh->setCropBox(0, fresh->mediaBox(0));
    fresh->setCropBox(2, fresh->mediaBox(2));
    fresh->save(dir.path("same.pdf"), SaveMode::Incremental);
    EXPECT_EQ(ReadBytes(dir.path("same.pdf")), original);
}

ino_t InodeOf(const std::string& path)
{
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_ino;
}

// A save onto the document's own file, unchanged since it was read, appends
// to it; changed by another since, it is replaced; an append a run does not
// commit is cut back.
TEST(PdfIncrementalSave, SavesOntoItsOwnFileAppendInPlace)
{
    // Inside every media box of the sample (readers clip to it).
    const auto Inside = [](int page) { return FixedBox(50 + page, 60, 300, 400.5); };
    ScratchDir dir;
    const std::string path = dir.path("own.pdf");
    WriteBytes(path, ReadBytes(Sample("mixed.pdf")));
    const std::string original = ReadBytes(path);
    const ino_t inode = InodeOf(path);
    auto doc = OpenClean(path);
    std::vector<Box> crops;
    for (int i = 0; i < 7; ++i)
        crops.push_back(ToBox(doc->cropBox(i)));
    for (int page = 0; page < 2; ++page) {
        doc->setCropBox(page, Inside(page));
        crops[size_t(page)] = ToBox(Inside(page));
        doc->save(path, SaveMode::Incremental);
        EXPECT_EQ(InodeOf(path), inode) << "appended, not replaced";
        EXPECT_EQ(ReadBytes(path).compare(0, original.size(), original), 0);
        ExpectReadersAgree(path, 7, crops);
    }

    // Touched by another program: whether it changed the bytes cannot be
    // told, so the save is refused, and the file is neither appended to
    // nor rewritten.
    const timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    const std::string touched = ReadBytes(path);
    doc->setCropBox(2, Inside(2));
    try {
        doc->save(path, SaveMode::Incremental);
        ADD_FAILURE() << "saved over a touched file";
    } catch (const vellora::HostError& e) {
        EXPECT_NE(std::string(e.what()).find("written to the file"), std::string::npos) << e.what();
    }
    EXPECT_EQ(InodeOf(path), inode);
    EXPECT_EQ(ReadBytes(path), touched);
    ExpectReadersAgree(path, 7, crops);

    doc = OpenClean(path);
    const std::string committed = ReadBytes(path);
    {
        vellora::HeldCommits held;
        doc->setCropBox(3, Inside(3));
        doc->save(path, SaveMode::Incremental);
        EXPECT_GT(ReadBytes(path).size(), committed.size());
    }
    EXPECT_EQ(ReadBytes(path), committed) << "cut back";
}

// A killed append left part of an update and the old end line after the
// file's last update: the next save onto the file, or from it, puts its
// update where that tail began; nothing refers to the tail.
TEST(PdfIncrementalSave, TheTailOfAKilledAppendIsCutBack)
{
    ScratchDir dir;
    const std::string clean = dir.path("clean.pdf");
    const std::string killed = dir.path("killed.pdf");
    const std::string valid = ReadBytes(Sample("mixed.pdf"));
    const size_t at = valid.rfind("startxref");
    const std::string newest = valid.substr(at, valid.find("%%EOF", at) - at);
    const std::string tail =
        "12 0 obj\n<< /Type /Page /CropBox [" + std::string(5000, '\0') + "  " + newest + "%%EOF\n";
    for (const bool inPlace : {true, false}) {
        WriteBytes(clean, valid);
        WriteBytes(killed, valid + tail);
        std::vector<std::string> results;
        for (const std::string& path : {clean, killed}) {
            auto doc = OpenClean(path);
            doc->setCropBox(0, FixedBox(50, 60, 300, 400));
            const std::string target = inPlace ? path : path + ".out.pdf";
            doc->save(target, SaveMode::Incremental);
            results.push_back(ReadBytes(target));
        }
        EXPECT_EQ(results[1].compare(0, valid.size(), valid), 0);
        EXPECT_EQ(results[1].size(), results[0].size()) << (inPlace ? "in place" : "copied");
        EXPECT_EQ(results[1], results[0]);
        std::string report;
        EXPECT_TRUE(QpdfCheckClean(inPlace ? killed : killed + ".out.pdf", &report)) << report;
    }
}

// Another program cuts the file short between the open and the save: the
// save is refused with one message, nothing is written, and the process
// lives (the page objects' text is read with pread, never mapped).
TEST(PdfIncrementalSave, FileCutShortBeforeTheSaveIsRefused)
{
    ScratchDir dir;
    const std::string path = dir.path("cut.pdf");
    const std::string bytes = ReadBytes(Sample("mixed.pdf"));
    WriteBytes(path, bytes);
    auto doc = OpenClean(path);
    doc->setCropBox(0, FixedBox(50, 60, 300, 400));
    ASSERT_EQ(truncate(path.c_str(), off_t(bytes.size() / 8)), 0);
    const std::string other = dir.path("other.pdf");
    for (const std::string& target : {other, path}) {
        try {
            doc->save(target, SaveMode::Incremental);
            ADD_FAILURE() << target << ": saved";
        } catch (const vellora::HostError& e) {
            EXPECT_NE(std::string(e.what()).find("cut the file short"), std::string::npos)
                << e.what();
        }
    }
    EXPECT_FALSE(std::filesystem::exists(other));
    EXPECT_EQ(ReadBytes(path), bytes.substr(0, bytes.size() / 8));
}

}  // namespace
