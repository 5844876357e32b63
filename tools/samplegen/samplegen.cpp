// SPDX-License-Identifier: AGPL-3.0-or-later
// Writes the sample PDF documents the demo, the tests and the benchmarks
// use (docs/samples.md describes every page).
//
//   samplegen DIR               the standard samples, and damaged ones in DIR/damaged
//   samplegen DIR --text N NAME a text document of N pages
#include "pdf_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace samplegen {

namespace {

std::string Catalog(int pages) { return "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>"; }

std::string Ref(int object) { return std::to_string(object) + " 0 R"; }

std::string KidsOf(std::initializer_list<int> kids) {
    std::string out = "[";
    for (int k : kids) out += (out.size() > 1 ? " " : "") + Ref(k);
    return out + "]";
}

// A page object under `parent` with the given extra entries and content.
int AddPage(PdfWriter& pdf, int parent, const std::string& entries, const std::string& content) {
    const int stream = pdf.reserve();
    pdf.setStream(stream, "", content);
    return pdf.add("<< /Type /Page /Parent " + Ref(parent) + " " + entries + " /Contents " + Ref(stream) + " >>");
}

const char* const kFont =
    "/Resources << /Font << /F1 << /Type /Font /Subtype /Type1 "
    "/BaseFont /Helvetica /Encoding /WinAnsiEncoding >> >> >>";

// Letter, A4 and landscape pages, all four rotations, an inherited media
// box, a media box away from the origin, marks past the media box, a blank
// page and a page whose white background is not a mark.
void WriteMixed(const std::string& path) {
    PdfWriter pdf;
    const int root = pdf.reserve();
    const int p1 = AddPage(pdf, root, "/MediaBox [0 0 612 792] /Rotate 0",
                           "BT /F1 24 Tf 72 700 Td (Letter, upright) Tj ET\n"
                           "0.5 g 72 72 200 100 re f");
    const int p2 = AddPage(pdf, root, "/MediaBox [0 0 595.276 841.89] /Rotate 90",
                           "BT /F1 18 Tf 60 780 Td (A4, rotated 90) Tj ET\n"
                           "0 0 1 rg 300 100 200 300 re f");
    const int p3 = AddPage(pdf, root, "/MediaBox [0 0 792 612] /CropBox [36 36 756 576] /Rotate 180",
                           "BT /F1 30 Tf 100 500 Td (Landscape, upside down) Tj ET\n"
                           "1 0 0 rg 700 300 150 50 re f");
    const int p4 = AddPage(pdf, root, "/Rotate 270",
                           "BT /F1 20 Tf 150 600 Td (Inherited media box, 270) Tj ET\n"
                           "10 w 0 0 0 RG 100 100 100 200 re S");
    const int p5 = AddPage(pdf, root, "/MediaBox [100 200 712 992]",
                           "0 0.6 0 rg 50 900 250 150 re f\n"
                           "BT /F1 16 Tf 200 400 Td (Media box origin at 100 200) Tj ET");
    const int p6 = AddPage(pdf, root, "/MediaBox [0 0 612 792]", "");
    const int p7 = AddPage(pdf, root, "/MediaBox [0 0 612 792]",
                           "1 g 0 0 612 792 re f\n"
                           "0 g 250 350 100 80 re f\n"
                           "q 300 500 50 50 re W n 0 0 1 rg 0 0 612 792 re f Q");
    pdf.set(root, std::string("<< /Type /Pages /MediaBox [0 0 612 792] ") + kFont + " /Kids " +
                      KidsOf({p1, p2, p3, p4, p5, p6, p7}) + " /Count 7 >>");
    pdf.write(path, pdf.add(Catalog(root)));
}

// Boxes listed with their corners in every order, boxes and rotations
// inherited through an intermediate page-tree node, rotations outside
// 0..270 and one that is no multiple of 90.
void WriteGeometry(const std::string& path) {
    PdfWriter pdf;
    const int root = pdf.reserve();
    const int node = pdf.reserve();
    const int p1 = AddPage(pdf, node, "", "");
    const int p2 = AddPage(pdf, node, "/MediaBox [612 792 0 0] /Rotate 45", "");
    const int p3 = AddPage(pdf, node, "/MediaBox [-100 250 300 -50] /CropBox [300 -50 -100 250] /Rotate 720", "");
    const int p4 = AddPage(pdf, root, "/MediaBox [0.5 0.25 612.75 792.125] /Rotate 540", "");
    const int p5 = AddPage(pdf, root, "", "");
    pdf.set(node, "<< /Type /Pages /Parent " + Ref(root) + " /CropBox [450 350 50 50] /Rotate 450 /Kids " +
                      KidsOf({p1, p2, p3}) + " /Count 3 >>");
    pdf.set(root,
            "<< /Type /Pages /MediaBox [0 0 500 400] /Rotate -90 /Kids " + KidsOf({node, p4, p5}) + " /Count 5 >>");
    pdf.write(path, pdf.add(Catalog(root)));
}

// A second page whose media box is wider than page coordinates can hold.
void WriteHugeBox(const std::string& path) {
    PdfWriter pdf;
    const int root = pdf.reserve();
    const int p1 = AddPage(pdf, root, "/MediaBox [0 0 612 792]", "");
    const int p2 = AddPage(pdf, root, "/MediaBox [0 0 40000 612]", "");
    pdf.set(root, "<< /Type /Pages /Kids " + KidsOf({p1, p2}) + " /Count 2 >>");
    pdf.write(path, pdf.add(Catalog(root)));
}

// Letter pages of prose-like lines; the number and length of lines vary
// from page to page so that every page has a bounding box of its own.
void WriteText(const std::string& path, int pages) {
    static const char* const kWords[] = {"crop", "page",   "margin", "the",      "of",       "document",
                                         "box",  "media",  "and",    "bounding", "text",     "line",
                                         "a",    "viewer", "to",     "print",    "rotation", "inch"};
    constexpr int kWordCount = int(sizeof kWords / sizeof kWords[0]);
    PdfWriter pdf;
    const int root = pdf.reserve();
    std::string kids;
    uint32_t seed = 12345;
    const auto next = [&seed](uint32_t range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    for (int i = 0; i < pages; ++i) {
        const int lines = 20 + int(next(25));
        const int left = 60 + int(next(40));
        std::string content = "BT /F1 11 Tf 14 TL " + std::to_string(left) + " 720 Td\n";
        content += "(Page " + std::to_string(i + 1) + ") Tj T*\n";
        for (int l = 0; l < lines; ++l) {
            std::string line;
            const int words = 4 + int(next(9));
            for (int w = 0; w < words; ++w) line += std::string(w ? " " : "") + kWords[next(kWordCount)];
            content += "(" + line + ") Tj T*\n";
        }
        content += "ET";
        kids += (kids.empty() ? "" : " ") + Ref(AddPage(pdf, root, "", content));
    }
    pdf.set(root, std::string("<< /Type /Pages /MediaBox [0 0 612 792] ") + kFont + " /Kids [" + kids + "] /Count " +
                      std::to_string(pages) + " >>");
    pdf.write(path, pdf.add(Catalog(root)));
}

// Three Letter pages of text under one page-tree node; `contents` gives
// page 2's /Contents entry (empty: a stream of its own).
PdfWriter SmallDocument(int& catalog, const std::string& pageTwoContents = "") {
    PdfWriter pdf;
    const int root = pdf.reserve();
    std::string kids;
    for (int i = 1; i <= 3; ++i) {
        const std::string text = "BT /F1 24 Tf 72 700 Td (Page " + std::to_string(i) + ") Tj ET";
        const int page = i == 2 && !pageTwoContents.empty()
                             ? pdf.add("<< /Type /Page /Parent " + Ref(root) + " /Contents " + pageTwoContents + " >>")
                             : AddPage(pdf, root, "", text);
        kids += (kids.empty() ? "" : " ") + Ref(page);
    }
    pdf.set(root,
            std::string("<< /Type /Pages /MediaBox [0 0 612 792] ") + kFont + " /Kids [" + kids + "] /Count 3 >>");
    catalog = pdf.add(Catalog(root));
    return pdf;
}

std::string SmallDocumentBytes() {
    int catalog = 0;
    const PdfWriter pdf = SmallDocument(catalog);
    return pdf.bytes(catalog);
}

// Files damaged the ways real files are: each must open (repaired, with a
// warning) or be refused with one clear message, never crash or hang.
void WriteDamaged(const std::string& dir) {
    const std::string good = SmallDocumentBytes();
    // Cut off in the middle of the objects, before the catalog: nothing to rebuild.
    WriteFile(dir + "/truncated-early.pdf", good.substr(0, good.size() * 3 / 5));
    // Cut off after the last object: no cross-reference table, no trailer.
    WriteFile(dir + "/truncated.pdf", good.substr(0, good.rfind("xref\n") + 2));
    // Every offset in the cross-reference table falls short of its object.
    WriteFile(dir + "/bad-xref.pdf", good.substr(0, 15) + "%shifted\n" + good.substr(15));
    // A startxref pointing past the end of the file.
    const size_t at = good.rfind("startxref\n");
    WriteFile(dir + "/bad-startxref.pdf", good.substr(0, at) + "startxref\n99999999\n%%EOF\n");

    // A content stream whose /Length says 40 bytes more than it holds.
    {
        int catalog = 0;
        PdfWriter pdf = SmallDocument(catalog, "99 0 R");
        const std::string data = "BT /F1 24 Tf 72 700 Td (Long) Tj ET";
        const int stream =
            pdf.add("<< /Length " + std::to_string(data.size() + 40) + " >>\nstream\n" + data + "\nendstream");
        std::string bytes = pdf.bytes(catalog);
        const std::string wanted = "/Contents 99 0 R";
        // Padded to the same width, so that every offset stays right.
        std::string actual = "/Contents " + std::to_string(stream) + " 0 R";
        actual.resize(wanted.size(), ' ');
        bytes.replace(bytes.find(wanted), wanted.size(), actual);
        WriteFile(dir + "/wrong-length.pdf", bytes);
    }
    // Page 2's contents name an object the file does not have.
    {
        int catalog = 0;
        WriteFile(dir + "/missing-object.pdf", SmallDocument(catalog, "99 0 R").bytes(catalog));
    }
    // Page-tree nodes that are their own ancestors.
    {
        PdfWriter pdf;
        const int root = pdf.reserve();
        const int node = pdf.reserve();
        const int page = AddPage(pdf, root, "", "BT /F1 24 Tf 72 700 Td (Page 1) Tj ET");
        pdf.set(node, "<< /Type /Pages /Parent " + Ref(root) + " /Kids " + KidsOf({root}) + " /Count 1 >>");
        pdf.set(root, "<< /Type /Pages /MediaBox [0 0 612 792] /Kids " + KidsOf({page, node}) + " /Count 2 >>");
        WriteFile(dir + "/page-tree-loop.pdf", pdf.bytes(pdf.add(Catalog(root))));
    }
    {
        PdfWriter pdf;
        const int root = pdf.reserve();
        pdf.set(root, "<< /Type /Pages /MediaBox [0 0 612 792] /Kids " + KidsOf({root}) + " /Count 1 >>");
        WriteFile(dir + "/page-tree-self.pdf", pdf.bytes(pdf.add(Catalog(root))));
    }
    // A page count that promises more pages than the tree holds.
    {
        int catalog = 0;
        std::string bytes = SmallDocument(catalog).bytes(catalog);
        const std::string count = "/Count 3";
        bytes.replace(bytes.find(count), count.size(), "/Count 9");
        WriteFile(dir + "/wrong-count.pdf", bytes);
    }
    WriteFile(dir + "/not-a-pdf.pdf", "These are notes, not a PDF file.\n");
    WriteFile(dir + "/empty.pdf", "");
}

}  // namespace

}  // namespace samplegen

int main(int argc, char** argv) {
    using namespace samplegen;
    try {
        if (argc == 2) {
            const std::string dir = argv[1];
            WriteMixed(dir + "/mixed.pdf");
            WriteGeometry(dir + "/geometry.pdf");
            WriteHugeBox(dir + "/huge-box.pdf");
            WriteText(dir + "/text-1000.pdf", 1000);
            WriteText(dir + "/letter-11.pdf", 11);
            std::filesystem::create_directories(dir + "/damaged");
            WriteDamaged(dir + "/damaged");
            return 0;
        }
        if (argc == 5 && std::string(argv[2]) == "--text") {
            const int pages = std::atoi(argv[3]);
            if (pages < 1) throw std::runtime_error(std::string("not a page count: ") + argv[3]);
            WriteText(std::string(argv[1]) + "/" + argv[4], pages);
            return 0;
        }
        std::fprintf(stderr, "usage: samplegen DIR [--text PAGES NAME]\n");
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "samplegen: %s\n", e.what());
        return 1;
    }
}
