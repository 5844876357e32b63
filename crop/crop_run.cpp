// SPDX-License-Identifier: AGPL-3.0-or-later
#include "crop/crop_run.h"

#include "crop/crop_selection.h"
#include "crop/geometry.h"
#include "module/fixed.h"
#include "module/module_state.h"
#include "ui/pages_dialog.h"

OrientationPolicyValue OrientationPolicy = OrientationPolicyValue::Unset;

namespace {

const char kOverlapMessage[] =
    "Crop region must include at least 1 inch by 1 inch of media box region.";
const char kSizeMessage[] = "Minimum crop region is 1 inch by 1 inch.";
const char kOrientationQuestion[] = "Some pages do not have same orientation - Crop or Skip them?";
const char kBadRotationSummary[] =
    "Some page(s) were not cropped since page(s) had an illegal rotation value (not 0, 90, "
    "180, or 270).";
const char kNoOverlapSummary[] =
    "Some page(s) were not cropped since page media box(es) did not intersect crop region.";

// What a page-set run saw, for its summary alerts.
struct RunTally {
    bool badRotation;
    bool allOverlapped;
};

int32_t AskOneOfTwo(const char *question, const char *first, const char *second)
{
    return host.viewer->Alert(VX_ALERT_ICON_QUESTION, question, first, second, nullptr, 0);
}

bool RegionIsValid()
{
    const FixedRect region = CropSelection.region;
    if (OverlapsBy(region, CropSelection.capturedMediaBox, kFixedInch)) {
        host.viewer->AlertNote(kOverlapMessage);
        return false;
    }
    if (RectWidth(region) < kFixedInch || RectHeight(region) < kFixedInch) {
        host.viewer->AlertNote(kSizeMessage);
        return false;
    }
    return true;
}

StepOutcome CropSetPage(Document doc, int32_t index, FixedRect *saved, void *context)
{
    RunTally *tally = static_cast<RunTally *>(context);
    if (saved != nullptr) {
        SaveCropBox(doc, index, saved);
    }
    switch (CropOnePage(index, OrientationPolicy)) {
    case CropResult::OrientationMismatch:
        if (OrientationPolicy == OrientationPolicyValue::Ask) {
            const int32_t answer = AskOneOfTwo(kOrientationQuestion, "Skip", "Crop");
            if (answer == VX_ALERT_BUTTON1) {
                OrientationPolicy = OrientationPolicyValue::Skip;
            } else if (answer == VX_ALERT_BUTTON2) {
                OrientationPolicy = OrientationPolicyValue::CropAll;
                return StepOutcome::Again;
            }
        }
        break;
    case CropResult::BadRotation:
        tally->badRotation = true;
        break;
    case CropResult::NoOverlap:
        tally->allOverlapped = false;
        break;
    case CropResult::Cropped:
        break;
    }
    return StepOutcome::Next;
}

void CropCurrentPage(const CancelAndProgress &slots, PageView view)
{
    if (StopRequested(slots)) {
        host.viewer->AlertNote(kCancelledNote);
        return;
    }
    // A single page is never questioned or reported.
    CropOnePage(host.viewer->PageNumberOf(view), OrientationPolicy);
}

}  // namespace

void CropPageSet(const CancelAndProgress &slots, Document doc, PageChoice choice)
{
    OrientationPolicy = OrientationPolicyValue::Ask;
    RunTally tally = {false, true};
    const int32_t pageCount = host.model->PageCount(doc);
    const int32_t first = choice == PageChoice::Even ? 1 : 0;
    const int32_t stride = choice == PageChoice::All ? 1 : 2;

    ProgressBegin(slots, pageCount, first);
    FixedRect *saved = AllocateSavedCropBoxes(pageCount);
    RunPageLoop(slots, doc, pageCount, first, stride, saved, CropSetPage, &tally);

    FreeSavedCropBoxes(saved);
    ProgressEnd(slots);
    if (tally.badRotation) {
        host.viewer->AlertNote(kBadRotationSummary);
    }
    if (!tally.allOverlapped) {
        host.viewer->AlertNote(kNoOverlapSummary);
    }
}

HostBool CropRun()
{
    const DocWindow window = host.viewer->GetActiveDocWindow();
    const Document doc = host.viewer->DocumentOf(window);
    const PageView view = host.viewer->PageViewOf(window);
    const CancelAndProgress slots = FetchCancelAndProgress();

    if (!RegionIsValid()) {
        return VX_FALSE;
    }

    if (host.model->PageCount(doc) == 1) {
        if (AskOneOfTwo("Crop this page?", "Current", "Cancel") == VX_ALERT_BUTTON1) {
            CropCurrentPage(slots, view);
        }
        return VX_TRUE;
    }

    const PageChoice choice = AskPagesToCrop();
    switch (choice) {
    case PageChoice::Current:
        CropCurrentPage(slots, view);
        break;
    case PageChoice::All:
    case PageChoice::Odd:
    case PageChoice::Even:
        CropPageSet(slots, doc, choice);
        break;
    default:
        // Cancel, or a dialog that could not be shown.
        break;
    }
    return VX_TRUE;
}
