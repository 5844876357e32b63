// SPDX-License-Identifier: AGPL-3.0-or-later
// Bounding boxes found ahead on worker threads: every answer is the one the
// host's thread alone gives, whatever the document went through first, and
// a run stopped, saved or closed half-way leaves nothing behind.
#include "backend/pdf/bbox_lookahead.h"
#include "pdf/pdf_test_support.h"
#include "pdf_writer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace pdftest;

namespace {

// TRIMVEX_BBOX_THREADS for the life of the object.
class Threads {
public:
    explicit Threads(const char* count)
    {
        if (const char* old = std::getenv("TRIMVEX_BBOX_THREADS"))
            old_ = old;
        setenv("TRIMVEX_BBOX_THREADS", count, 1);
    }
    ~Threads()
    {
        if (old_.empty())
            unsetenv("TRIMVEX_BBOX_THREADS");
        else
            setenv("TRIMVEX_BBOX_THREADS", old_.c_str(), 1);
    }
    Threads(const Threads&) = delete;
    Threads& operator=(const Threads&) = delete;

private:
    std::string old_;
};

using vellora::OpenFor;

// Opened for anything, the workers start on the first box asked for; for
// every box, while the file is being read.
std::unique_ptr<vellora::DocumentBackend> Open(const std::string& path,
                                               OpenFor use = OpenFor::Anything)
{
    std::vector<std::string> warnings;
    return vellora::OpenPdfDocument(path, warnings, "", use);
}

const char* Name(OpenFor use)
{
    return use == OpenFor::Anything ? "opened for anything" : "opened for every box";
}

using Prepare = std::function<void(vellora::DocumentBackend&)>;

// Every page's box, asked for in `order` (page order when empty), with
// `threads` finding them, after `prepare` has had the document.
std::vector<FixedRect> Boxes(const std::string& path, const char* threads,
                             const Prepare& prepare = {}, std::vector<int> order = {},
                             OpenFor opened = OpenFor::Anything)
{
    Threads use(threads);
    auto doc = Open(path, opened);
    if (prepare)
        prepare(*doc);
    if (order.empty())
        for (int page = 0; page < doc->pageCount(); ++page)
            order.push_back(page);
    std::vector<FixedRect> boxes(size_t(doc->pageCount()));
    for (int page : order)
        boxes[size_t(page)] = doc->boundingBox(page);
    return boxes;
}

void ExpectSame(const std::vector<FixedRect>& alone, const std::vector<FixedRect>& threaded,
                const std::string& what)
{
    ASSERT_EQ(alone.size(), threaded.size()) << what;
    for (size_t i = 0; i < alone.size(); ++i) {
        const FixedRect& a = alone[i];
        const FixedRect& b = threaded[i];
        EXPECT_TRUE(a.left == b.left && a.bottom == b.bottom && a.right == b.right &&
                    a.top == b.top)
            << what << " page " << i + 1 << ": alone " << Show(ToBox(a)) << ", threaded "
            << Show(ToBox(b));
    }
}

void ExpectThreadsChangeNothing(const std::string& path, const Prepare& prepare = {},
                                const std::vector<int>& order = {})
{
    const auto alone = Boxes(path, "1", prepare, order);
    for (const OpenFor use : {OpenFor::Anything, OpenFor::EveryBoundingBox})
        for (const char* threads : {"2", "3"})
            ExpectSame(alone, Boxes(path, threads, prepare, order, use),
                       path + " on " + threads + " threads, " + Name(use));
}

TEST(PdfBoundingBoxThreads, AnswersAreTheSameAsOnOneThread)
{
    for (const char* name :
         {"mixed.pdf", "geometry.pdf", "letter-11.pdf", "text-1000.pdf", "damaged/truncated.pdf",
          "damaged/bad-xref.pdf", "damaged/bad-startxref.pdf", "damaged/wrong-length.pdf",
          "damaged/missing-object.pdf"})
        ExpectThreadsChangeNothing(Sample(name));
}

TEST(PdfBoundingBoxThreads, PagesAskedOutOfOrderOrAgain)
{
    ExpectThreadsChangeNothing(Sample("text-1000.pdf"), {}, {500, 0, 1, 2, 999, 3, 4, 998});
    std::vector<int> backwards;
    for (int page = 10; page >= 0; --page)
        backwards.push_back(page);
    ExpectThreadsChangeNothing(Sample("mixed.pdf"), {}, {6, 5, 4, 3, 2, 1, 0});
    ExpectThreadsChangeNothing(Sample("letter-11.pdf"), {}, backwards);
}

// Far from the origin a float has few bits left for the fraction: there
// the crop box's corner shows in the rounding of the marks.
std::string FarFromTheOrigin(const ScratchDir& dir)
{
    samplegen::PdfWriter pdf;
    const int pages = pdf.reserve();
    std::string kids;
    for (int i = 0; i < 40; ++i) {
        const int content = pdf.reserve();
        const std::string at = std::to_string(28000 + i * 17) + ".3" + std::to_string(i % 10);
        pdf.setStream(content, "", "0 g " + at + " " + at + " 3.37 4.41 re f");
        kids += std::to_string(pdf.add("<< /Type /Page /Parent " + std::to_string(pages) +
                                       " 0 R /MediaBox [0 0 32000 32000] /Rotate " +
                                       std::to_string(90 * (i % 4)) + " /Contents " +
                                       std::to_string(content) + " 0 R >>")) +
                " 0 R ";
    }
    pdf.set(pages, "<< /Type /Pages /Kids [" + kids + "] /Count 40 >>");
    const std::string far = dir.path("far.pdf");
    pdf.write(far, pdf.add("<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>"));
    return far;
}

void CropFar(vellora::DocumentBackend& doc)
{
    for (int page = 1; page < doc.pageCount(); ++page)
        doc.setCropBox(page, FixedBox(12345.678 + page, 23456.789, 31999.37, 31999.91));
}

// Crop boxes set in memory move MuPDF's page space, and so the rounding of
// the marks: the workers' documents must hold them too.
TEST(PdfBoundingBoxThreads, CropBoxesSetInMemoryBeforeAsking)
{
    const Prepare crop = [](vellora::DocumentBackend& doc) {
        for (int page = 0; page < doc.pageCount(); page += 3)
            doc.setCropBox(page, FixedBox(10.3 + page % 7, 20.7, 500.1 - page % 5, 700.9));
        doc.setCropBox(1, doc.mediaBox(1));
    };
    ExpectThreadsChangeNothing(Sample("text-1000.pdf"), crop);
    ExpectThreadsChangeNothing(Sample("mixed.pdf"), crop);

    ScratchDir dir;
    ExpectThreadsChangeNothing(FarFromTheOrigin(dir), CropFar);
}

// The host crops each page after asking for its box, and may change a page
// the workers have already found.
TEST(PdfBoundingBoxThreads, PagesChangedWhileTheWorkersAreAhead)
{
    const std::string path = Sample("text-1000.pdf");
    std::vector<FixedRect> alone, threaded, early;
    for (auto* out : {&alone, &threaded, &early}) {
        Threads use(out == &alone ? "1" : "2");
        auto doc = Open(path, out == &early ? OpenFor::EveryBoundingBox : OpenFor::Anything);
        for (int page = 0; page < doc->pageCount(); ++page) {
            if (page + 5 < doc->pageCount())
                doc->setCropBox(page + 5, FixedBox(33.3, 44.4, 555.5 - page % 3, 666.6));
            out->push_back(doc->boundingBox(page));
            doc->setCropBox(page, out->back());
        }
    }
    ExpectSame(alone, threaded, "cropped as it goes");
    ExpectSame(alone, early, "cropped as it goes, opened for every box");
}

// An object the table puts at the wrong offset: MuPDF finds out on reading
// it and reads the file on from its repair. Page 151 (of 200) is object
// 303, its content 302: the page is read with the page tree, when the file
// is opened; the content when its marks are looked for.
std::string LaterRepairedFile(const ScratchDir& dir, int moved = 302)
{
    samplegen::PdfWriter pdf;
    const int pages = pdf.reserve();
    std::string kids;
    for (int i = 0; i < 200; ++i) {
        const int content = pdf.reserve();
        pdf.setStream(
            content, "",
            "0 g " + std::to_string(20 + i) + " 30 100 " + std::to_string(200 + i % 90) + " re f");
        kids += std::to_string(pdf.add("<< /Type /Page /Parent " + std::to_string(pages) +
                                       " 0 R /MediaBox [0 0 300 400] /Contents " +
                                       std::to_string(content) + " 0 R >>")) +
                " 0 R ";
    }
    pdf.set(pages, "<< /Type /Pages /Kids [" + kids + "] /Count 200 >>");
    const int root = pdf.add("<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
    std::string bytes = pdf.bytes(root);
    // The tree is object 1, then content and page in turn; the entry is
    // moved one byte on.
    const size_t table = bytes.rfind("\nxref\n") + 1;
    const size_t entry = bytes.find('\n', table + 5) + 1 + size_t(moved) * 20;
    std::string offset = std::to_string(std::stol(bytes.substr(entry, 10)) + 1);
    offset.insert(0, 10 - offset.size(), '0');
    bytes.replace(entry, 10, offset);
    const std::string path = dir.path("repaired-at-" + std::to_string(moved) + ".pdf");
    WriteBytes(path, bytes);
    return path;
}

TEST(PdfBoundingBoxThreads, DamageMetOnTheWayIsMetAsOnOneThread)
{
    ScratchDir dir;
    const std::string path = LaterRepairedFile(dir);
    {
        Threads use("1");
        auto doc = OpenClean(path);  // the damage does not show yet
        ASSERT_EQ(doc->pageCount(), 200);
    }
    ExpectThreadsChangeNothing(path);
    // Repaired while the pages are read, after the workers of a document
    // opened for every box have started on the file as it was.
    ExpectThreadsChangeNothing(LaterRepairedFile(dir, 303));
    // The repair is the host's document's own: a save after it is written
    // in full, as on one thread, and reads back.
    for (const char* threads : {"1", "2", "2 early"}) {
        Threads use(threads[0] == '1' ? "1" : "2");
        auto doc = Open(path, threads[1] ? OpenFor::EveryBoundingBox : OpenFor::Anything);
        for (int page = 0; page < doc->pageCount(); ++page)
            doc->setCropBox(page, doc->boundingBox(page));
        const std::string out = dir.path(std::string("saved-") + threads + ".pdf");
        doc->save(out, vellora::SaveMode::Incremental);
        EXPECT_NE(ReadBytes(out).compare(0, 200, ReadBytes(path), 0, 200), 0)
            << threads << " threads: appended to a file MuPDF had to repair";
        EXPECT_TRUE(QpdfCheckClean(out)) << threads << " threads";
        // Every crop box set, those set before MuPDF repaired the file too.
        const auto saved = OpenClean(out);
        for (int page = 0; page < doc->pageCount(); ++page)
            EXPECT_LE(Distance(ToBox(saved->cropBox(page)), ToBox(doc->cropBox(page))), 1e-4)
                << threads << " threads, page " << page + 1;
    }
}

// Closed, saved or stopped half-way: workers are waited for (the
// sanitizers see what they leave), and a save does not wait for a run.
TEST(PdfBoundingBoxThreads, StoppedSavedOrClosedHalfWay)
{
    Threads use("2");
    const std::string path = Sample("text-1000.pdf");
    for (const OpenFor opened : {OpenFor::Anything, OpenFor::EveryBoundingBox})
        for (int asked : {0, 1, 7, 300}) {
            auto doc = Open(path, opened);
            for (int page = 0; page < asked; ++page)
                doc->boundingBox(page);
        }
    ScratchDir dir;
    const auto alone = Boxes(path, "1");
    auto doc = Open(path);
    std::vector<FixedRect> boxes;
    for (int page = 0; page < doc->pageCount(); ++page) {
        boxes.push_back(doc->boundingBox(page));
        doc->setCropBox(page, boxes.back());
        if (page == 100)
            doc->save(dir.path("half.pdf"), vellora::SaveMode::Incremental);
        if (page == 400)
            doc->save(dir.path("full.pdf"), vellora::SaveMode::Full);
    }
    ExpectSame(alone, boxes, "saved on the way");
    doc->save(dir.path("all.pdf"), vellora::SaveMode::Incremental);
    EXPECT_TRUE(QpdfCheckClean(dir.path("half.pdf")));
    EXPECT_TRUE(QpdfCheckClean(dir.path("all.pdf")));
    ExpectSame(alone, Boxes(dir.path("all.pdf"), "1"), "read back from the saved file");
    // The crop boxes set during the run reached both saved files, the one
    // MuPDF wrote from its objects among them.
    for (const char* name : {"full.pdf", "all.pdf"}) {
        auto saved = Open(dir.path(name));
        const int last = std::string(name) == "full.pdf" ? 400 : saved->pageCount() - 1;
        for (int page = 0; page <= last; ++page)
            ASSERT_LT(Distance(ToBox(saved->cropBox(page)), ToBox(boxes[size_t(page)])), 1e-3)
                << name << " page " << page + 1;
    }
}

// Another program cuts the file short while it is open: what lies beyond
// the cut is an error on the page that needs it, never a crash, on the
// host's thread and on the workers' alike.
TEST(PdfBoundingBoxThreads, FileCutShortWhileOpen)
{
    ScratchDir dir;
    const std::string bytes = ReadBytes(Sample("text-1000.pdf"));
    for (const char* threads : {"1", "2"}) {
        Threads use(threads);
        const std::string path = dir.path(std::string("cut-") + threads + ".pdf");
        WriteBytes(path, bytes);
        auto doc = Open(path, OpenFor::EveryBoundingBox);
        ASSERT_EQ(truncate(path.c_str(), off_t(bytes.size() / 2)), 0);
        int answered = 0, refused = 0;
        for (int page = 0; page < doc->pageCount(); ++page) {
            try {
                doc->boundingBox(page);
                ++answered;
            } catch (const vellora::HostError&) {
                ++refused;
            }
        }
        EXPECT_EQ(answered + refused, doc->pageCount()) << threads << " threads";
        EXPECT_GT(refused, 0) << threads << " threads: the lost half was read from somewhere";
    }
}

// Pages are found by their objects, not by their place in the tree: 300
// pages whose objects run against page order, the first 50 in a subtree,
// each with a square of its own, and links on some (to a page given by
// number, by object and through an action), which MuPDF resolves while
// loading the page.
std::string ShuffledTree(const ScratchDir& dir)
{
    samplegen::PdfWriter pdf;
    const int root = pdf.reserve();
    const int sub = pdf.reserve();
    std::vector<int> page(300);
    for (int i = 299; i >= 0; --i)
        page[size_t(i)] = pdf.reserve();
    const auto ref = [](int object) { return std::to_string(object) + " 0 R"; };
    std::string subKids, rootKids = ref(sub) + " ";
    for (int i = 0; i < 300; ++i) {
        const int content = pdf.reserve();
        pdf.setStream(content, "",
                      "0 g " + std::to_string(10 + i % 97) + " " +
                          std::to_string(20 + i / 97 * 70) + " 50 60 re f");
        std::string annots;
        if (i == 7)
            annots = " /Annots [<< /Subtype /Link /Rect [0 0 9 9] /Dest [3 /Fit] >>]";
        else if (i == 8)
            annots =
                " /Annots [<< /Subtype /Link /Rect [0 0 9 9] /Dest [" + ref(page[2]) + " /Fit] >>]";
        else if (i == 260)
            annots =
                " /Annots [<< /Subtype /Link /Rect [0 0 9 9] /A << /S /GoTo /D [250 /XYZ 0 0 0] >> "
                ">>]";
        const int parent = i < 50 ? sub : root;
        pdf.set(page[size_t(i)], "<< /Type /Page /Parent " + ref(parent) +
                                     " /MediaBox [0 0 400 400] /Contents " + ref(content) + annots +
                                     " >>");
        (i < 50 ? subKids : rootKids) += ref(page[size_t(i)]) + " ";
    }
    pdf.set(sub, "<< /Type /Pages /Parent " + ref(root) + " /Kids [" + subKids + "] /Count 50 >>");
    pdf.set(root, "<< /Type /Pages /Kids [" + rootKids + "] /Count 300 >>");
    const std::string path = dir.path("shuffled.pdf");
    pdf.write(path, pdf.add("<< /Type /Catalog /Pages " + ref(root) + " >>"));
    return path;
}

TEST(PdfBoundingBoxThreads, PagesAreFoundByTheirObjectsWhateverTheTree)
{
    ScratchDir dir;
    const std::string path = ShuffledTree(dir);
    for (const OpenFor use : {OpenFor::Anything, OpenFor::EveryBoundingBox})
        for (const char* threads : {"1", "2"}) {
            const auto boxes = Boxes(path, threads, {}, {}, use);
            ASSERT_EQ(boxes.size(), 300u);
            for (int i = 0; i < 300; ++i) {
                const double x = 10 + i % 97, y = 20 + i / 97 * 70;
                EXPECT_LT(Distance(ToBox(boxes[size_t(i)]), Box{x, y, x + 50, y + 60}), 0.01)
                    << threads << " threads, " << Name(use) << ": page " << i + 1 << " is "
                    << Show(ToBox(boxes[size_t(i)]));
            }
        }
}

TEST(PdfBoundingBoxThreads, ThreadCountFromTheEnvironment)
{
    {
        Threads use("3");
        EXPECT_EQ(vellora::pdf::BboxThreads(), 3);
    }
    for (const char* bad : {"0", "65", "two", "2x", ""}) {
        Threads use(bad);
        EXPECT_GE(vellora::pdf::BboxThreads(), 1) << bad;
        EXPECT_LE(vellora::pdf::BboxThreads(), 64) << bad;
        unsetenv("TRIMVEX_BBOX_THREADS");
        const int fallback = vellora::pdf::BboxThreads();
        setenv("TRIMVEX_BBOX_THREADS", bad, 1);
        EXPECT_EQ(vellora::pdf::BboxThreads(), fallback) << bad;
    }
}

}  // namespace
