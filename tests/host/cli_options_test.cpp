// SPDX-License-Identifier: AGPL-3.0-or-later
// Parsing of the page commands' command lines.
#include "cli/cli_options.h"

#include <gtest/gtest.h>

using namespace vellora::cli;
using vellora::UsageError;

namespace {

constexpr Fixed kPt = 0x10000;

PageRequest Parse(std::vector<std::string> args) { return ParsePageRequest(args); }

std::string UsageMessage(std::vector<std::string> args) {
    try {
        ParsePageRequest(args);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(CliRegion, WrittenLeftBottomRightTop) {
    FixedRect r = ParseRegion("10,20.5,300,400.25");
    EXPECT_EQ(r.left, 10 * kPt);
    EXPECT_EQ(r.bottom, 20 * kPt + kPt / 2);
    EXPECT_EQ(r.right, 300 * kPt);
    EXPECT_EQ(r.top, 400 * kPt + kPt / 4);
    EXPECT_EQ(ParseRegion("-5,-6,7,8").left, -5 * kPt);
}

TEST(CliRegion, BadTextNamesTheProblem) {
    EXPECT_THROW(ParseRegion("1,2,3"), UsageError);
    EXPECT_THROW(ParseRegion("1,2,3,4,"), UsageError);
    EXPECT_THROW(ParseRegion("-5,-6,7,"), UsageError);  // not -5,-6,7,0
    EXPECT_THROW(ParseRegion(",1,2,3"), UsageError);
    EXPECT_THROW(ParseRegion("1,2,3,4,5"), UsageError);
    EXPECT_THROW(ParseRegion("1,x,3,4"), UsageError);
    EXPECT_THROW(ParseRegion(""), UsageError);
    EXPECT_THROW(ParseRegion("1,2,40000,4"), UsageError);  // beyond the Fixed range
    try {
        ParseRegion("300,20,100,400");
        FAIL() << "an inverted region was accepted";
    } catch (const UsageError& e) {
        EXPECT_NE(std::string(e.what()).find("right > left"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ParseRegion("100,400,300,400"), UsageError);  // no height
}

TEST(CliRegion, ExponentsAndSpansBeyondPageCoordinates) {
    EXPECT_EQ(ParseRegion("50,50,500,7e2").top, 700 * kPt);
    EXPECT_EQ(ParseRegion("5E1,.5e2,5e+2,700").left, 50 * kPt);
    // Each corner is in range; the width or height is not, and would wrap.
    for (const char* region : {"-16400,0,16400,100", "0,-16400,100,16400"}) {
        try {
            ParseRegion(region);
            ADD_FAILURE() << region << " was accepted";
        } catch (const UsageError& e) {
            EXPECT_NE(std::string(e.what()).find("32800 pt"), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("at most 32767.99998 pt across"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(ParseRegion("-16000,0,16000,100").right, 16000 * kPt);  // 32000 wide fits
}

TEST(CliOptions, Passwords) {
    EXPECT_EQ(Parse({"boxes", "in.pdf", "--password", "pw"}).password, "pw");
    EXPECT_EQ(Parse({"crop", "in.pdf", "-o", "o.pdf", "--region", "0,0,100,100", "--password-file", "f"}).passwordFile,
              "f");
    EXPECT_NE(UsageMessage({"boxes", "in.pdf", "--password", "a", "--password-file", "f"}).find("given twice"),
              std::string::npos);
    EXPECT_NE(UsageMessage({"boxes", "in.pdf", "--password"}).find("needs a value"), std::string::npos);
}

TEST(CliOptions, CropDefaultsFollowThePage) {
    PageRequest all = Parse({"crop", "in.pdf", "-o", "out.pdf", "--region", "0,0,100,100"});
    EXPECT_EQ(all.verb, Verb::Crop);
    EXPECT_EQ(all.input, "in.pdf");
    EXPECT_EQ(all.output, "out.pdf");
    EXPECT_EQ(EffectivePageSet(all), PageSet::All);
    EXPECT_EQ(StartPage(all), 1);
    EXPECT_EQ(all.mismatch, Mismatch::Ask);

    PageRequest one = Parse({"crop", "--page", "3", "in.pdf", "--region", "0,0,100,100", "-o", "o.pdf"});
    EXPECT_EQ(EffectivePageSet(one), PageSet::Current);
    EXPECT_EQ(StartPage(one), 3);

    PageRequest odd = Parse({"crop", "in.pdf", "-o", "o.pdf", "--region", "0,0,100,100", "--page", "2", "--pages",
                             "odd", "--mismatch", "skip"});
    EXPECT_EQ(EffectivePageSet(odd), PageSet::Odd);
    EXPECT_EQ(odd.mismatch, Mismatch::Skip);
}

TEST(CliOptions, ModesOfBBoxAndReset) {
    EXPECT_EQ(Parse({"bbox", "a.pdf", "-o", "b.pdf"}).bboxMode, BBoxMode::Each);
    EXPECT_EQ(Parse({"bbox", "a.pdf", "-o", "b.pdf", "--biggest"}).bboxMode, BBoxMode::Biggest);
    PageRequest page = Parse({"bbox", "a.pdf", "-o", "b.pdf", "--page", "4"});
    EXPECT_EQ(page.bboxMode, BBoxMode::Page);
    EXPECT_EQ(StartPage(page), 4);
    EXPECT_TRUE(Parse({"reset", "a.pdf", "-o", "b.pdf"}).resetAll);
    EXPECT_FALSE(Parse({"reset", "a.pdf", "-o", "b.pdf", "--page", "2"}).resetAll);
    EXPECT_NE(UsageMessage({"bbox", "a.pdf", "-o", "b.pdf", "--each", "--biggest"}), "(accepted)");
    EXPECT_NE(UsageMessage({"bbox", "a.pdf", "-o", "b.pdf", "--each", "--page", "2"}), "(accepted)");
    EXPECT_NE(UsageMessage({"reset", "a.pdf", "-o", "b.pdf", "--all", "--page", "2"}), "(accepted)");
}

TEST(CliOptions, MarginAndInkSettings) {
    const PageRequest one = Parse({"bbox", "in.pdf", "-o", "out.pdf", "--margin", "10"});
    ASSERT_TRUE(one.margin);
    EXPECT_EQ(one.margin->left, 10 * kPt);
    EXPECT_EQ(one.margin->top, 10 * kPt);
    const PageRequest four =
        Parse({"bbox", "in.pdf", "-o", "out.pdf", "--margin", "5,10.5,0,2e1", "--ink-threshold", "12.5"});
    EXPECT_EQ(four.margin->left, 5 * kPt);
    EXPECT_EQ(four.margin->bottom, 10 * kPt + kPt / 2);
    EXPECT_EQ(four.margin->right, 0);
    EXPECT_EQ(four.margin->top, 20 * kPt);
    EXPECT_DOUBLE_EQ(InkSettingsOf(four).threshold, 12.5);
    EXPECT_FALSE(InkSettingsOf(four).ignoreDarkEdges);
    EXPECT_DOUBLE_EQ(InkSettingsOf(Parse({"boxes", "in.pdf"})).threshold, vellora::kDefaultInkThreshold);
    EXPECT_TRUE(InkSettingsOf(Parse({"boxes", "in.pdf", "--ignore-dark-edges"})).ignoreDarkEdges);
    for (const char* bad : {"-1", "1,2,3", "1,2,3,4,", "x", "1,2,-3,4", ""}) {
        EXPECT_NE(UsageMessage({"bbox", "in.pdf", "-o", "out.pdf", "--margin", bad}).find("--margin"),
                  std::string::npos)
            << bad;
    }
    for (const char* bad : {"-1", "100", "x", "1e9"}) {
        EXPECT_NE(UsageMessage({"bbox", "in.pdf", "-o", "out.pdf", "--ink-threshold", bad}).find("--ink-threshold"),
                  std::string::npos)
            << bad;
    }
    EXPECT_NE(UsageMessage({"crop", "in.pdf", "-o", "o.pdf", "--region", "0,0,100,100", "--margin", "1"})
                  .find("does not take --margin"),
              std::string::npos);
    EXPECT_NE(UsageMessage({"bbox", "in.pdf", "-o", "o.pdf", "--margin", "1", "--margin", "2"}).find("twice"),
              std::string::npos);
}

TEST(CliOptions, InPlaceWritesOverTheInput) {
    PageRequest r = Parse({"reset", "a.pdf", "--in-place"});
    EXPECT_TRUE(r.inPlace);
    EXPECT_EQ(r.output, "a.pdf");
    EXPECT_NE(UsageMessage({"show", "a.pdf", "--page", "1", "--in-place", "-o", "a.png"}), "(accepted)");
}

TEST(CliOptions, EveryBadCommandLineIsRefused) {
    const std::vector<std::vector<std::string>> bad = {
        {"crop", "in.pdf", "-o", "out.pdf"},                   // no region
        {"crop", "in.pdf", "--region", "0,0,100,100"},         // no output
        {"crop", "-o", "out.pdf", "--region", "0,0,100,100"},  // no input
        {"crop", "in.pdf", "-o", "o.pdf", "--region", "0,0,100,100", "--pages", "first"},
        {"crop", "in.pdf", "-o", "o.pdf", "--region", "0,0,100,100", "--mismatch", "ask"},
        {"crop", "in.pdf", "-o", "o.pdf", "--region", "0,0,100,100", "--page", "0"},
        {"crop", "in.pdf", "-o", "o.pdf", "--region", "0,0,100,100", "--page", "2x"},
        {"crop", "in.pdf", "-o", "o.pdf", "--region", "0,0,100,100", "--each"},
        {"crop", "in.pdf", "-o", "o.pdf", "-o", "p.pdf", "--region", "0,0,100,100"},
        {"crop", "in.pdf", "other.pdf", "-o", "o.pdf", "--region", "0,0,100,100"},
        {"crop", "in.pdf", "-o"},           // value missing
        {"show", "in.pdf", "-o", "o.png"},  // no page
        {"show", "in.pdf", "-o", "o.png", "--page", "1", "--zoom", "0"},
        {"show", "in.pdf", "-o", "o.png", "--page", "1", "--zoom", "big"},
        {"boxes", "in.pdf", "-o", "x.pdf"},
        {"boxes", "in.pdf", "--page", "1"},
        {"frobnicate", "in.pdf"},
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_NE(UsageMessage(args), "(accepted)") << joined;
    }
}

TEST(CliOptions, MessageNamesTheOffendingWord) {
    EXPECT_NE(UsageMessage({"crop", "in.pdf", "-o", "o.pdf", "--region", "0,0,9,9", "--frob"}).find("--frob"),
              std::string::npos);
    EXPECT_NE(UsageMessage({"show", "in.pdf", "-o", "o.png", "--page", "1", "--zoom", "-5"}).find("-5"),
              std::string::npos);
}

}  // namespace
