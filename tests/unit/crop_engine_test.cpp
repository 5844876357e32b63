// SPDX-License-Identifier: AGPL-3.0-or-later
// The page logic of the crop engine against a fake host: which pages are
// cropped, to what, which are left alone, what the user is asked and told,
// and what a stop gives back.
#include <gtest/gtest.h>

#include "crop/crop_page.h"
#include "crop/crop_run.h"
#include "crop/crop_selection.h"
#include "crop/page_commands.h"
#include "crop/page_run.h"
#include "fake_host.h"
#include "module/fixed.h"

using fake::FakePage;
using fake::Pt;
using fake::Rect;
using fake::state;

namespace {

const FixedRect kLetter = Rect(0, 792, 612, 0);
const FixedRect kLetterTurned = Rect(0, 612, 792, 0);
const FixedRect kRegion = Rect(100, 700, 300, 500);

const char kBadRotationSummary[] =
    "Some page(s) were not cropped since page(s) had an illegal rotation value (not 0, 90, "
    "180, or 270).";
const char kNoOverlapSummary[] =
    "Some page(s) were not cropped since page media box(es) did not intersect crop region.";

FakePage Letter(int16_t rotation = 0)
{
    return FakePage{kLetter, kLetter, kLetter, rotation, 0};
}

FakePage PageWith(FixedRect media, int16_t rotation)
{
    return FakePage{media, media, media, rotation, 0};
}

bool SameRect(const FixedRect &a, const FixedRect &b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Every run ends with its pages released and its buffer given back.
class Engine : public ::testing::Test {
protected:
    void Select(FixedRect region, FixedRect media = kLetter, int16_t rotation = 0)
    {
        CropSelection.region = region;
        CropSelection.capturedMediaBox = media;
        CropSelection.capturedRotation = rotation;
        CropSelection.hasRegion = VX_TRUE;
    }

    void TearDown() override
    {
        EXPECT_EQ(0, state.acquired);
        EXPECT_EQ(0, state.allocations);
        EXPECT_EQ(0, state.wrongData) << "a slot called without its data word";
        EXPECT_TRUE(state.answers.empty()) << "unasked answers left";
    }

    // The page-set part of a crop run, with the run's slots filled as
    // CropRun fills them.
    static void RunSet(PageChoice choice)
    {
        CropPageSet(FetchCancelAndProgress(), nullptr, choice);
    }

    std::vector<int> CroppedPages() const
    {
        std::vector<int> pages;
        for (size_t i = 0; i < state.pages.size(); ++i) {
            if (SameRect(state.pages[i].crop, kRegion)) pages.push_back(static_cast<int>(i));
        }
        return pages;
    }
};

struct PageCase {
    const char *name;
    FakePage page;
    FixedRect region;
    OrientationPolicyValue policy;
    CropResult want;
};

TEST_F(Engine, CropOnePageJudgesRotationThenOrientationThenOverlap)
{
    using P = OrientationPolicyValue;
    const FixedRect square = Rect(0, 600, 600, 0);
    const PageCase cases[] = {
        {"captured page", Letter(), kRegion, P::Ask, CropResult::Cropped},
        {"same size rotated 90", Letter(90), kRegion, P::Ask, CropResult::OrientationMismatch},
        {"same size rotated 180", Letter(180), kRegion, P::Unset, CropResult::OrientationMismatch},
        {"same size rotated 270", Letter(270), kRegion, P::Skip, CropResult::OrientationMismatch},
        {"same size rotated 180, crop all", Letter(180), kRegion, P::CropAll, CropResult::Cropped},
        {"swapped size, same rotation", PageWith(kLetterTurned, 0), kRegion, P::Ask,
         CropResult::OrientationMismatch},
        {"swapped size rotated 90", PageWith(kLetterTurned, 90), kRegion, P::Ask,
         CropResult::Cropped},
        {"swapped size rotated 270", PageWith(kLetterTurned, 270), kRegion, P::Ask,
         CropResult::Cropped},
        {"one unit wider", PageWith(FixedRect{0, Pt(792), Pt(612) + 2, 0}, 0), kRegion, P::Ask,
         CropResult::OrientationMismatch},
        {"one unit wider, crop all", PageWith(FixedRect{0, Pt(792), Pt(612) + 2, 0}, 0), kRegion,
         P::CropAll, CropResult::Cropped},
        {"rotation 45", Letter(45), kRegion, P::Ask, CropResult::BadRotation},
        {"rotation 45, crop all", Letter(45), kRegion, P::CropAll, CropResult::BadRotation},
        {"rotation 45 and another size", PageWith(square, 45), kRegion, P::Ask,
         CropResult::BadRotation},
        {"narrow region inside", Letter(), Rect(100, 700, 150, 100), P::Ask, CropResult::NoOverlap},
        {"region beside the page", Letter(), Rect(700, 700, 900, 500), P::Ask,
         CropResult::NoOverlap},
        {"exactly an inch each way", Letter(), Rect(540, 72, 700, -10), P::Ask,
         CropResult::Cropped},
        {"an inch less one unit at the edge", Letter(), FixedRect{Pt(540) + 1, Pt(100), Pt(700), 0},
         P::Ask, CropResult::NoOverlap},
        {"inside, exactly an inch", Letter(), Rect(100, 172, 172, 100), P::Ask,
         CropResult::Cropped},
        {"inside, an inch less one unit wide", Letter(),
         FixedRect{Pt(100), Pt(172), Pt(172) - 1, Pt(100)}, P::Ask, CropResult::NoOverlap},
        {"inside, an inch less one unit high", Letter(),
         FixedRect{Pt(100), Pt(172) - 1, Pt(172), Pt(100)}, P::Ask, CropResult::NoOverlap},
    };
    for (const PageCase &c : cases) {
        SCOPED_TRACE(c.name);
        fake::Install({c.page});
        Select(c.region);
        OrientationPolicy = c.policy;
        const FixedRect before = state.pages[0].crop;

        EXPECT_EQ(c.want, CropOnePage(0, OrientationPolicy));
        EXPECT_EQ(0, state.acquired);
        EXPECT_EQ(c.policy, OrientationPolicy);
        EXPECT_TRUE(SameRect(c.region, CropSelection.region));
        if (c.want == CropResult::Cropped) {
            EXPECT_EQ(1, state.pages[0].setCount);
            EXPECT_EQ(1, state.notified);
        } else {
            EXPECT_EQ(0, state.pages[0].setCount);
            EXPECT_EQ(0, state.notified);
            EXPECT_TRUE(SameRect(before, state.pages[0].crop));
        }
    }
}

TEST_F(Engine, CropOnePageClipsTheMappedRegionToTheMediaBox)
{
    fake::Install({Letter(), PageWith(kLetterTurned, 90), Letter()});
    Select(Rect(-50, 900, 300, 500));
    EXPECT_EQ(CropResult::Cropped, CropOnePage(0, OrientationPolicy));
    EXPECT_TRUE(SameRect(Rect(0, 792, 300, 500), state.pages[0].crop));

    // Quarter turn: the region sits where it showed on the captured page.
    Select(kRegion);
    EXPECT_EQ(CropResult::Cropped, CropOnePage(1, OrientationPolicy));
    EXPECT_TRUE(SameRect(Rect(92, 300, 292, 100), state.pages[1].crop));

    Select(Rect(-10, 800, 700, -10));
    EXPECT_EQ(CropResult::Cropped, CropOnePage(2, OrientationPolicy));
    EXPECT_TRUE(SameRect(kLetter, state.pages[2].crop));
}

TEST_F(Engine, EvenPagesOfTwoCropIndexOneWithProgressOverTheWholeDocument)
{
    fake::Install({Letter(), Letter()});
    Select(kRegion);
    RunSet(PageChoice::Even);
    EXPECT_EQ((std::vector<int>{1}), CroppedPages());
    EXPECT_EQ((std::vector<std::string>{"begin", "duration 2", "value 1", "value 1", "end"}),
              state.progress);
    EXPECT_TRUE(state.notes.empty());
}

TEST_F(Engine, AnsweringCropTakesThePageAgainAndGoesOnByTheStep)
{
    fake::Install({Letter(), Letter(), Letter(180), Letter(), Letter()});
    Select(kRegion);
    state.answers = {2};  // Crop
    RunSet(PageChoice::Odd);

    EXPECT_EQ(1u, state.questions.size());
    EXPECT_EQ(OrientationPolicyValue::CropAll, OrientationPolicy);
    EXPECT_EQ(1, state.pages[2].setCount);
    EXPECT_EQ(0, state.pages[3].setCount);
    EXPECT_EQ((std::vector<int>{0, 4}), CroppedPages());  // page 2 turned half
    EXPECT_EQ((std::vector<std::string>{"begin", "duration 5", "value 0", "value 0", "value 2",
                                        "value 2", "value 4", "end"}),
              state.progress);
    EXPECT_EQ(4, state.polls);  // once per page, twice for the page taken again

    // Crop all lasts beyond the run: a single page of another orientation is
    // cropped; the next page-set run asks again.
    EXPECT_EQ(CropResult::Cropped, CropOnePage(2, OrientationPolicy));
    state.answers = {1};  // Skip
    RunSet(PageChoice::All);
    EXPECT_EQ(OrientationPolicyValue::Skip, OrientationPolicy);
    EXPECT_EQ(2u, state.questions.size());
}

TEST_F(Engine, SkipLeavesMismatchesWithoutAskingAgain)
{
    fake::Install({Letter(90), Letter(), Letter(90), Letter(180)});
    Select(kRegion);
    state.answers = {1};
    RunSet(PageChoice::All);
    EXPECT_EQ(1u, state.questions.size());
    EXPECT_EQ((std::vector<int>{1}), CroppedPages());
    EXPECT_TRUE(state.notes.empty());  // mismatches are not summarised
}

TEST_F(Engine, AnotherAnswerLeavesThePolicyAtAskSoTheNextMismatchAsksAgain)
{
    fake::Install({Letter(90), Letter(90)});
    Select(kRegion);
    state.answers = {0, 0};
    RunSet(PageChoice::All);
    EXPECT_EQ(2u, state.questions.size());
    EXPECT_EQ(OrientationPolicyValue::Ask, OrientationPolicy);
    EXPECT_TRUE(CroppedPages().empty());
}

TEST_F(Engine, SummariesNameBadRotationFirstThenNoOverlap)
{
    fake::Install({Letter(45), PageWith(Rect(0, 792, 150, 0), 0), Letter()});
    Select(kRegion);
    OrientationPolicy = OrientationPolicyValue::CropAll;  // reset to Ask by the run
    state.answers = {2};  // the narrow page mismatches; crop regardless
    RunSet(PageChoice::All);
    EXPECT_EQ((std::vector<std::string>{kBadRotationSummary, kNoOverlapSummary}), state.notes);
    EXPECT_EQ((std::vector<int>{2}), CroppedPages());
}

TEST_F(Engine, StopGivesThePagesPassedTheirBoxesBackAndLeavesTheRest)
{
    fake::Install({Letter(), Letter(), Letter(), Letter(), Letter(), Letter()});
    Select(kRegion);
    state.pages[3].crop = Rect(1, 2, 3, 4);
    state.stopFromPoll = 5;  // before index 4
    RunSet(PageChoice::All);

    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(2, state.pages[i].setCount);  // cropped, then restored
    }
    EXPECT_TRUE(SameRect(Rect(1, 2, 3, 4), state.pages[3].crop));
    EXPECT_TRUE(SameRect(kLetter, state.pages[0].crop));
    EXPECT_EQ(0, state.pages[4].setCount);
    EXPECT_EQ(0, state.pages[5].setCount);
    EXPECT_EQ((std::vector<std::string>{kCancelledNote}), state.notes);
    EXPECT_EQ("end", state.progress.back());
}

TEST_F(Engine, StopOfAnOddRunRestoresOnlyThePagesOfTheSet)
{
    fake::Install({Letter(), Letter(), Letter(), Letter(), Letter()});
    Select(kRegion);
    state.stopFromPoll = 3;  // before index 4
    RunSet(PageChoice::Odd);
    EXPECT_EQ(2, state.pages[0].setCount);
    EXPECT_EQ(0, state.pages[1].setCount);
    EXPECT_EQ(2, state.pages[2].setCount);
    EXPECT_EQ(0, state.pages[3].setCount);
    EXPECT_EQ(0, state.pages[4].setCount);
}

TEST_F(Engine, StopBeforeTheFirstPageRestoresNothingAndSummarisesNothing)
{
    fake::Install({Letter(45), Letter()});
    Select(kRegion);
    state.stopFromPoll = 1;
    RunSet(PageChoice::All);
    EXPECT_EQ(0, state.pages[0].setCount);
    EXPECT_EQ(0, state.pages[1].setCount);
    EXPECT_EQ((std::vector<std::string>{kCancelledNote}), state.notes);
}

TEST_F(Engine, RefusedUndoBufferCropsWithoutSavingAndAStopRestoresNothing)
{
    fake::Install({Letter(), Letter(), Letter()});
    Select(kRegion);
    state.refuseAllocate = true;
    state.monitor = false;
    state.stopFromPoll = 3;
    RunSet(PageChoice::All);
    EXPECT_EQ((std::vector<int>{0, 1}), CroppedPages());
    EXPECT_EQ(1, state.pages[0].setCount);
    EXPECT_EQ((std::vector<std::string>{kCancelledNote}), state.notes);
    EXPECT_TRUE(state.progress.empty());
}

// A page count whose undo buffer does not fit the host's 32-bit request is
// never asked for: 0x10000001 boxes would wrap to a 16-byte block.
TEST_F(Engine, AnUndoBufferTooBigForTheRequestIsNotAskedFor)
{
    fake::Install({Letter()});
    EXPECT_EQ(nullptr, AllocateSavedCropBoxes(0x10000001));
    EXPECT_EQ(nullptr, AllocateSavedCropBoxes(0));
    EXPECT_EQ(0, state.allocations);
}

struct ValidationCase {
    const char *name;
    FixedRect region;
    const char *note;  // null: valid
};

TEST_F(Engine, CropRunRefusesARegionUnderAnInchOrOffTheMediaBox)
{
    const char *overlap = "Crop region must include at least 1 inch by 1 inch of media box region.";
    const char *size = "Minimum crop region is 1 inch by 1 inch.";
    const ValidationCase cases[] = {
        {"exactly 72 by 72", Rect(100, 172, 172, 100), nullptr},
        {"one unit too low", FixedRect{Pt(100), Pt(172) - 1, Pt(172), Pt(100)}, size},
        {"one unit too narrow", FixedRect{Pt(100), Pt(172), Pt(172) - 1, Pt(100)}, size},
        {"beside and small", Rect(700, 110, 710, 100), overlap},
        {"inverted", Rect(300, 100, 100, 700), size},
    };
    for (const ValidationCase &c : cases) {
        SCOPED_TRACE(c.name);
        fake::Install({Letter()});
        Select(c.region);
        if (c.note == nullptr) state.answers = {2};  // "Cancel" to "Crop this page?"
        EXPECT_EQ(c.note == nullptr ? VX_TRUE : VX_FALSE, CropRun());
        if (c.note == nullptr) {
            EXPECT_EQ((std::vector<std::string>{"Crop this page?"}), state.questions);
            EXPECT_TRUE(state.notes.empty());
        } else {
            EXPECT_TRUE(state.questions.empty());
            EXPECT_EQ((std::vector<std::string>{c.note}), state.notes);
        }
        EXPECT_EQ(0, state.pages[0].setCount);
    }
}

TEST_F(Engine, OnePageRunCropsTheCurrentPageOrSaysCancelledOnAStop)
{
    fake::Install({Letter()});
    Select(kRegion);
    state.answers = {1};
    EXPECT_EQ(VX_TRUE, CropRun());
    EXPECT_EQ((std::vector<int>{0}), CroppedPages());

    fake::Install({Letter()});
    Select(kRegion);
    state.answers = {1};
    state.stopFromPoll = 1;
    EXPECT_EQ(VX_TRUE, CropRun());
    EXPECT_EQ(0, state.pages[0].setCount);
    EXPECT_EQ((std::vector<std::string>{kCancelledNote}), state.notes);
}

TEST_F(Engine, SinglePageCropSaysNothingWhateverTheResult)
{
    fake::Install({Letter(90)});
    Select(kRegion);
    OrientationPolicy = OrientationPolicyValue::Skip;
    state.answers = {1};
    EXPECT_EQ(VX_TRUE, CropRun());
    EXPECT_EQ(0, state.pages[0].setCount);
    EXPECT_TRUE(state.notes.empty());
    EXPECT_EQ(OrientationPolicyValue::Skip, OrientationPolicy);
}

// ---- Bounding-box crop and media-box reset ----------------------------------

const char kWhichPages[] = "Crop which pages to page bounding box?";
const char kEachOrBiggest[] =
    "Crop pages to individual bounding boxes or all pages to biggest bounding box?";

FakePage Marked(FixedRect media, FixedRect bbox)
{
    return FakePage{media, media, bbox, 0, 0};
}

TEST_F(Engine, OnePageIsCroppedToItsBoundingBoxWithoutAQuestion)
{
    fake::Install({Marked(kLetter, Rect(-20, 900, 300, 100))});
    CropToBoundingBox(nullptr);
    EXPECT_TRUE(state.questions.empty());
    EXPECT_TRUE(SameRect(Rect(0, 792, 300, 100), state.pages[0].crop));
    EXPECT_TRUE(state.progress.empty());
}

TEST_F(Engine, EachPageToItsOwnBoundingBox)
{
    fake::Install({Marked(kLetter, Rect(10, 20, 30, 5)), Marked(kLetter, Rect(-5, 800, 50, 40))});
    state.answers = {2, 1};  // All, Each
    CropToBoundingBox(nullptr);
    EXPECT_EQ((std::vector<std::string>{kWhichPages, kEachOrBiggest}), state.questions);
    EXPECT_TRUE(SameRect(Rect(10, 20, 30, 5), state.pages[0].crop));
    EXPECT_TRUE(SameRect(Rect(0, 792, 50, 40), state.pages[1].crop));
}

TEST_F(Engine, BiggestCropsEveryPageToTheUnionCutToItsOwnMediaBox)
{
    fake::Install({Marked(kLetter, Rect(100, 700, 300, 500)),
                   Marked(kLetter, Rect(50, 600, 250, 100)),
                   Marked(Rect(0, 400, 200, 0), Rect(60, 300, 70, 200))});
    state.answers = {2, 2};
    CropToBoundingBox(nullptr);
    EXPECT_TRUE(SameRect(Rect(50, 700, 300, 100), state.pages[0].crop));
    EXPECT_TRUE(SameRect(Rect(50, 700, 300, 100), state.pages[1].crop));
    EXPECT_TRUE(SameRect(Rect(50, 400, 200, 100), state.pages[2].crop));
    EXPECT_EQ((std::vector<std::string>{"begin", "duration 3", "value 0", "value 1", "value 2",
                                        "end", "begin", "duration 3", "value 0", "value 0",
                                        "value 1", "value 2", "end"}),
              state.progress);
}

TEST_F(Engine, StopWhileMeasuringChangesNoPage)
{
    fake::Install({Marked(kLetter, Rect(1, 2, 3, 4)), Marked(kLetter, Rect(1, 2, 3, 4)),
                   Marked(kLetter, Rect(1, 2, 3, 4))});
    state.answers = {2, 2};
    state.stopFromPoll = 2;  // before page 2; page 0 is not polled
    CropToBoundingBox(nullptr);
    for (const FakePage &page : state.pages)
        EXPECT_EQ(0, page.setCount);
    EXPECT_EQ((std::vector<std::string>{kCancelledNote}), state.notes);
    EXPECT_EQ(
        (std::vector<std::string>{"begin", "duration 3", "value 0", "value 1", "value 2", "end"}),
        state.progress);
}

TEST_F(Engine, StopBeforeTheCurrentPageEndsSilentlyForBoundingBoxAndSaysCancelledForReset)
{
    fake::Install({Marked(kLetter, Rect(1, 2, 3, 4))});
    state.stopFromPoll = 1;
    CropToBoundingBox(nullptr);
    EXPECT_TRUE(state.notes.empty());
    ResetToMediaBox(nullptr);
    EXPECT_EQ((std::vector<std::string>{kCancelledNote}), state.notes);
    EXPECT_EQ(0, state.pages[0].setCount);
}

TEST_F(Engine, ResetStopBeforeIndexThreeRestoresTheFirstThree)
{
    std::vector<FakePage> pages(5, Letter());
    for (FakePage &page : pages)
        page.crop = Rect(10, 20, 30, 5);
    fake::Install(pages);
    state.answers = {2};
    state.stopFromPoll = 4;
    ResetToMediaBox(nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(2, state.pages[i].setCount);
        EXPECT_TRUE(SameRect(Rect(10, 20, 30, 5), state.pages[i].crop));
    }
    EXPECT_EQ(0, state.pages[3].setCount);
    EXPECT_EQ((std::vector<std::string>{kCancelledNote}), state.notes);
    EXPECT_EQ("end", state.progress.back());
}

TEST_F(Engine, ResetCurrentPageSetsTheMediaBoxEvenWhenAlreadyThere)
{
    fake::Install({Letter(), Letter()});
    state.currentPage = 1;
    state.answers = {1};
    ResetToMediaBox(nullptr);
    EXPECT_EQ(0, state.pages[0].setCount);
    EXPECT_EQ(1, state.pages[1].setCount);
    EXPECT_EQ(1, state.notified);
}

TEST_F(Engine, CancelChangesNothing)
{
    fake::Install({Letter(), Letter()});
    state.answers = {3, 3, 2, 3};
    ResetToMediaBox(nullptr);
    CropToBoundingBox(nullptr);
    CropToBoundingBox(nullptr);
    EXPECT_EQ(4u, state.questions.size());
    for (const FakePage &page : state.pages)
        EXPECT_EQ(0, page.setCount);
}

}  // namespace
