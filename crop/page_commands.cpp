// SPDX-License-Identifier: AGPL-3.0-or-later
#include "crop/page_commands.h"

#include "crop/geometry.h"
#include "crop/page_run.h"
#include "module/module_state.h"

namespace {

enum class PageSet { Current, All, None };

PageSet ChoosePages(Document doc)
{
    if (host.model->PageCount(doc) == 1) {
        return PageSet::Current;
    }
    const int32_t answer =
        host.viewer->Alert(VX_ALERT_ICON_QUESTION, "Crop which pages to page bounding box?",
                           "Current", "All", "Cancel", 0);
    if (answer == VX_ALERT_BUTTON1) {
        return PageSet::Current;
    }
    return answer == VX_ALERT_BUTTON2 ? PageSet::All : PageSet::None;
}

// The common start of both commands: the active window and its document,
// fresh run slots, and the pages the command is for (a one-page document is
// never asked).
PageSet StartCommand(DocWindow *window, Document *doc, CancelAndProgress *slots)
{
    *window = host.viewer->GetActiveDocWindow();
    *doc = host.viewer->DocumentOf(*window);
    *slots = FetchCancelAndProgress();
    return ChoosePages(*doc);
}

int32_t CurrentPageIndex(DocWindow window)
{
    return host.viewer->PageNumberOf(host.viewer->PageViewOf(window));
}

FixedRect BoundingBoxOnPage(Page page, const void *)
{
    FixedRect bbox, media;
    host.model->GetBoundingBox(page, &bbox);
    host.model->GetMediaBox(page, &media);
    return ClipToBox(bbox, media);
}

FixedRect BoxOnPage(Page page, const void *context)
{
    FixedRect media;
    host.model->GetMediaBox(page, &media);
    return ClipToBox(*static_cast<const FixedRect *>(context), media);
}

FixedRect MediaBoxOfPage(Page page, const void *)
{
    FixedRect media;
    host.model->GetMediaBox(page, &media);
    return media;
}

// The page step of an all-pages loop: context is the NewCropBoxProc and its
// own context.
struct ChangeStep {
    NewCropBoxProc newBox;
    const void *context;
};

StepOutcome ChangeStepPage(Document doc, int32_t index, FixedRect *saved, void *context)
{
    const ChangeStep *change = static_cast<const ChangeStep *>(context);
    ChangeCropBox(doc, index, saved, change->newBox, change->context);
    return StepOutcome::Next;
}

// Progress start and undo buffer, one loop of page steps, the end steps.
void ChangeAllPages(const CancelAndProgress &slots, Document doc, int32_t pageCount,
                    FixedRect *saved, NewCropBoxProc newBox, const void *context)
{
    ChangeStep change = {newBox, context};
    RunPageLoop(slots, doc, pageCount, 0, 1, saved, ChangeStepPage, &change);
    ProgressEnd(slots);
    FreeSavedCropBoxes(saved);
}

FixedRect *StartAllPages(const CancelAndProgress &slots, int32_t pageCount)
{
    ProgressBegin(slots, pageCount, 0);
    return AllocateSavedCropBoxes(pageCount);
}

void Widen(FixedRect *united, FixedRect box)
{
    if (box.left < united->left) united->left = box.left;
    if (box.top > united->top) united->top = box.top;
    if (box.right > united->right) united->right = box.right;
    if (box.bottom < united->bottom) united->bottom = box.bottom;
}

StepOutcome MeasurePage(Document doc, int32_t index, FixedRect *, void *context)
{
    const Page page = host.model->AcquirePage(doc, index);
    FixedRect bbox;
    host.model->GetBoundingBox(page, &bbox);
    Widen(static_cast<FixedRect *>(context), bbox);
    host.model->ReleasePage(page);
    return StepOutcome::Next;
}

// All pages to the biggest bounding box: a measuring pass, then a cropping
// pass with progress of its own.
void CropAllToBiggest(const CancelAndProgress &slots, Document doc, int32_t pageCount)
{
    FixedRect *saved = StartAllPages(slots, pageCount);

    const Page first = host.model->AcquirePage(doc, 0);
    FixedRect united;
    host.model->GetBoundingBox(first, &united);
    host.model->ReleasePage(first);
    // Nothing has changed yet, so a stop here restores nothing.
    const bool stopped = RunPageLoop(slots, doc, pageCount, 1, 1, nullptr, MeasurePage, &united);
    ProgressEnd(slots);
    if (stopped) {
        FreeSavedCropBoxes(saved);
        return;
    }

    ProgressBegin(slots, pageCount, 0);
    ChangeAllPages(slots, doc, pageCount, saved, BoxOnPage, &united);
}

}  // namespace

void CropToBoundingBox(void *)
{
    DocWindow window;
    Document doc;
    CancelAndProgress slots;
    switch (StartCommand(&window, &doc, &slots)) {
    case PageSet::Current:
        // A stop before a single page ends this command without a word.
        if (!StopRequested(slots)) {
            ChangeCropBox(doc, CurrentPageIndex(window), nullptr, BoundingBoxOnPage, nullptr);
        }
        break;
    case PageSet::All: {
        const int32_t pageCount = host.model->PageCount(doc);
        const int32_t answer = host.viewer->Alert(
            VX_ALERT_ICON_QUESTION,
            "Crop pages to individual bounding boxes or all pages to biggest bounding box?", "Each",
            "Biggest", nullptr, 0);
        if (answer == VX_ALERT_BUTTON1) {
            ChangeAllPages(slots, doc, pageCount, StartAllPages(slots, pageCount),
                           BoundingBoxOnPage, nullptr);
        } else if (answer == VX_ALERT_BUTTON2) {
            CropAllToBiggest(slots, doc, pageCount);
        } else {
            ProgressEnd(slots);
        }
        break;
    }
    case PageSet::None:
        break;
    }
}

void ResetToMediaBox(void *)
{
    DocWindow window;
    Document doc;
    CancelAndProgress slots;
    switch (StartCommand(&window, &doc, &slots)) {
    case PageSet::Current:
        if (StopRequested(slots)) {
            host.viewer->AlertNote(kCancelledNote);
        } else {
            ChangeCropBox(doc, CurrentPageIndex(window), nullptr, MediaBoxOfPage, nullptr);
        }
        break;
    case PageSet::All: {
        const int32_t pageCount = host.model->PageCount(doc);
        ChangeAllPages(slots, doc, pageCount, StartAllPages(slots, pageCount), MediaBoxOfPage,
                       nullptr);
        break;
    }
    case PageSet::None:
        break;
    }
}
