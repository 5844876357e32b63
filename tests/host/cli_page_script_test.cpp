// SPDX-License-Identifier: AGPL-3.0-or-later
// The host scripts the page commands make: what they ask of the plug-in, in
// what order, and the zoom chosen for dragging out a region.
#include "backend/document_backend.h"
#include "cli/cli_options.h"
#include "cli/page_script.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace vellora::cli;
using vellora::UsageError;

namespace {

constexpr Fixed kPt = 0x10000;

FixedRect Rect(int l, int b, int r, int t) { return {l * kPt, t * kPt, r * kPt, b * kPt}; }

const FixedRect kLetter = Rect(0, 0, 612, 792);

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> ScriptOf(std::vector<std::string> args, int pages, FixedRect area = kLetter) {
    PageRequest request = ParsePageRequest(args);
    PageFacts facts{pages, area};
    CheckAgainstDocument(request, facts);
    return Lines(MakePageScript(request, facts, "out dir/o.pdf"));
}

using Script = std::vector<std::string>;

TEST(CliScript, CropOfOddPagesDrivesToolDialogAndSave) {
    Script s =
        ScriptOf({"crop", "in.pdf", "-o", "x", "--region", "100,150,400,650", "--page", "3", "--pages", "odd"}, 5);
    Script want = {"load",
                   "open \"in.pdf\"",
                   "goto 3",
                   "zoom 2000",
                   "button \"ZUNO:TrimVex\"",
                   "pdrag 100 150 400 650",
                   "answer \"Odd Pages\"",
                   "pclick 250 400",
                   "expect region none",
                   "save \"out dir/o.pdf\""};
    EXPECT_EQ(s, want);
}

TEST(CliScript, OnePageDocumentIsAskedCropThisPage) {
    Script s = ScriptOf({"crop", "in.pdf", "-o", "x", "--region", "0,0,300,300", "--pages", "all"}, 1);
    EXPECT_NE(std::find(s.begin(), s.end(), "answer Current"), s.end());
    EXPECT_EQ(std::find(s.begin(), s.end(), "answer \"All Pages\""), s.end());
    // Current page of a longer document goes through the dialog.
    Script c = ScriptOf({"crop", "in.pdf", "-o", "x", "--region", "0,0,300,300", "--page", "2"}, 4);
    EXPECT_NE(std::find(c.begin(), c.end(), "answer \"Current Page\""), c.end());
}

TEST(CliScript, MismatchAnswerStandsBeforeTheRunStarts) {
    Script s = ScriptOf({"crop", "in.pdf", "-o", "x", "--region", "0,0,300,300", "--mismatch", "crop"}, 3);
    const std::string standing = "answer-when \"Some pages do not have same orientation - Crop or Skip them?\" Crop";
    auto at = std::find(s.begin(), s.end(), standing);
    ASSERT_NE(at, s.end());
    auto click = std::find_if(s.begin(), s.end(), [](const std::string& l) { return l.rfind("pclick", 0) == 0; });
    EXPECT_LT(at, click);
    Script none = ScriptOf({"crop", "in.pdf", "-o", "x", "--region", "0,0,300,300"}, 3);
    for (const auto& line : none) EXPECT_EQ(line.rfind("answer-when", 0), std::string::npos);
}

TEST(CliScript, BoundingBoxAndResetAnswersQueuedBeforeTheMenu) {
    EXPECT_EQ(ScriptOf({"bbox", "a.pdf", "-o", "x", "--biggest"}, 3),
              (Script{"load", "open \"a.pdf\"", "answer All", "answer Biggest", "menu \"ZUNO:TrimVexBBox\"",
                      "save \"out dir/o.pdf\""}));
    EXPECT_EQ(ScriptOf({"bbox", "a.pdf", "-o", "x", "--page", "2"}, 3),
              (Script{"load", "open \"a.pdf\"", "goto 2", "answer Current", "menu \"ZUNO:TrimVexBBox\"",
                      "save \"out dir/o.pdf\""}));
    // One page: the plug-in asks nothing, so nothing is queued.
    EXPECT_EQ(ScriptOf({"bbox", "a.pdf", "-o", "x", "--each"}, 1),
              (Script{"load", "open \"a.pdf\"", "menu \"ZUNO:TrimVexBBox\"", "save \"out dir/o.pdf\""}));
    EXPECT_EQ(
        ScriptOf({"reset", "a.pdf", "-o", "x"}, 2),
        (Script{"load", "open \"a.pdf\"", "answer All", "menu \"ZUNO:TrimVexMediaBox\"", "save \"out dir/o.pdf\""}));
    EXPECT_EQ(ScriptOf({"reset", "a.pdf", "-o", "x", "--page", "1"}, 1),
              (Script{"load", "open \"a.pdf\"", "menu \"ZUNO:TrimVexMediaBox\"", "save \"out dir/o.pdf\""}));
}

// The settings are host configuration: before the module is loaded and the
// document opened.
TEST(CliScript, BoxSettingsComeFirst) {
    EXPECT_EQ(
        ScriptOf(
            {"bbox", "a.pdf", "-o", "x", "--margin", "5,10,5,10.5", "--ink-threshold", "40", "--ignore-dark-edges"}, 1),
        (Script{"host margin 5 10 5 10.5", "host ink-threshold 40", "host dark-edges ignore", "load", "open \"a.pdf\"",
                "menu \"ZUNO:TrimVexBBox\"", "save \"out dir/o.pdf\""}));
    EXPECT_EQ(ScriptOf({"boxes", "a.pdf", "--margin", "2"}, 1),
              (Script{"host margin 2 2 2 2", "open \"a.pdf\"", "print boxes"}));
}

TEST(CliScript, ShowRegionWithoutMediaBoxHidesTheOutlineTheToolTurnedOn) {
    Script s = ScriptOf({"show", "a.pdf", "--page", "2", "-o", "p.png", "--region", "10,10,200,200"}, 2);
    EXPECT_EQ(s, (Script{"load", "open \"a.pdf\"", "goto 2", "zoom 100", "button \"ZUNO:TrimVex\"",
                         "pdrag 10 10 200 200", "menu \"ZUNO:TVHideMediaBox\"", "snapshot \"out dir/o.pdf\""}));
    Script m = ScriptOf({"show", "a.pdf", "--page", "1", "-o", "p.png", "--media-box", "--zoom", "50"}, 2);
    EXPECT_EQ(
        m, (Script{"load", "open \"a.pdf\"", "zoom 50", "menu \"ZUNO:TVShowMediaBox\"", "snapshot \"out dir/o.pdf\""}));
}

TEST(CliScript, RegionZoomKeepsThePageInsideSixteenBitPixels) {
    EXPECT_EQ(RegionZoom(kLetter, Rect(100, 100, 300, 300)), 2000);
    // 200 inches: the largest PDF page; the zoom drops but stays fine enough.
    const int big = RegionZoom(Rect(0, 0, 14400, 14400), Rect(100, 100, 300, 300));
    EXPECT_LE(14400.0 * big / 100, 30000.0);
    EXPECT_GE(big, 200);
    // A region reaching far beside the page counts as much as the page.
    const int wide = RegionZoom(kLetter, Rect(-3000, 0, 300, 300));
    EXPECT_LE((612.0 + 3000.0) * wide / 100, 30000.0);
    EXPECT_LT(wide, 2000);
}

TEST(CliScript, ChecksAgainstTheDocument) {
    auto message = [](std::vector<std::string> args, int pages) {
        try {
            ScriptOf(args, pages);
        } catch (const UsageError& e) {
            return std::string(e.what());
        }
        return std::string("(accepted)");
    };
    EXPECT_NE(message({"crop", "in.pdf", "-o", "x", "--region", "0,0,300,300", "--page", "6"}, 5).find("has 5 pages"),
              std::string::npos);
    EXPECT_NE(message({"crop", "in.pdf", "-o", "x", "--region", "0,0,300,300", "--pages", "even"}, 1), "(accepted)");
    // A region smaller than a few pixels cannot be clicked inside.
    EXPECT_NE(message({"crop", "in.pdf", "-o", "x", "--region", "0,0,300,0.2"}, 1), "(accepted)");
    EXPECT_EQ(message({"crop", "in.pdf", "-o", "x", "--region", "0,0,300,1"}, 1), "(accepted)");
    EXPECT_NE(message({"show", "in.pdf", "-o", "x.png", "--page", "1", "--zoom", "5000"}, 1), "(accepted)");
}

TEST(CliScript, RepairedFileIsWrittenWhole) {
    PageRequest request = ParsePageRequest({"reset", "a.pdf", "-o", "b.pdf"});
    PageFacts facts{2, kLetter};
    EXPECT_EQ(Lines(MakePageScript(request, facts, "b.pdf")).back(), "save \"b.pdf\"");
    facts.repaired = true;
    EXPECT_EQ(Lines(MakePageScript(request, facts, "b.pdf")).back(), "save \"b.pdf\" full");
}

TEST(CliScript, DocumentWithoutEditingIsOnlyShown) {
    PageFacts facts{2, kLetter};
    facts.editable = false;
    for (std::vector<std::string> args : {std::vector<std::string>{"reset", "a.pdf", "-o", "b.pdf"},
                                          {"bbox", "a.pdf", "-o", "b.pdf", "--page", "1"},
                                          {"crop", "a.pdf", "-o", "b.pdf", "--region", "0,0,300,300"},
                                          {"show", "a.pdf", "-o", "b.png", "--page", "1", "--region", "0,0,300,300"}}) {
        EXPECT_THROW(CheckAgainstDocument(ParsePageRequest(args), facts), vellora::HostError) << args[0];
    }
    EXPECT_NO_THROW(
        CheckAgainstDocument(ParsePageRequest({"show", "a.pdf", "-o", "b.png", "--page", "2", "--media-box"}), facts));
}

TEST(CliScript, QuotedArguments) {
    EXPECT_EQ(QuoteArgument("a b"), "\"a b\"");
    EXPECT_EQ(QuoteArgument("say \"hi\"\\now"), "\"say \\\"hi\\\"\\\\now\"");
    // A line break cannot stand in a script line: it goes escaped (the tokenizer reads it back).
    EXPECT_EQ(QuoteArgument("two\nlines\r"), "\"two\\nlines\\r\"");
}

}  // namespace
