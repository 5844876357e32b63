#include "crop/page_run.h"

#include <cstring>

#include "frame/module_state.h"

namespace {

CancelCheckProc cancelCheck = nullptr;
void *cancelData = nullptr;
const ProgressMonitor *progressMonitor = nullptr;
void *progressData = nullptr;

// The index after `index`, or `limit` when the stride would pass it (and
// overflow near the top of the range).
int32_t Advance(int32_t index, int32_t stride, int32_t limit)
{
    return limit - index > stride ? index + stride : limit;
}

// Pages first, first + stride, ... before `end` get their saved boxes back,
// also those a command left as they were.
void RestoreCropBoxes(Document doc, const FixedRect *saved, int32_t first, int32_t stride,
                      int32_t end)
{
    if (saved == nullptr) {
        return;
    }
    for (int32_t i = first; i < end; i = Advance(i, stride, end)) {
        const Page page = host.model->AcquirePage(doc, i);
        ApplyCropBox(page, saved[i]);
        host.model->ReleasePage(page);
    }
}

}  // namespace

void FillRunSlots()
{
    cancelData = nullptr;
    cancelCheck = host.viewer->GetCancelCheck(&cancelData);
    progressData = nullptr;
    progressMonitor = host.viewer->GetProgressMonitor(&progressData);
}

bool StopRequested()
{
    // A host without a cancel check cannot be stopped.
    return cancelCheck != nullptr && cancelCheck(cancelData) != 0;
}

void ProgressBegin(int32_t duration, int32_t firstValue)
{
    if (progressMonitor == nullptr) {
        return;
    }
    if (progressMonitor->begin != nullptr) {
        progressMonitor->begin(progressData);
    }
    if (progressMonitor->setDuration != nullptr) {
        progressMonitor->setDuration(duration, progressData);
    }
    ProgressValue(firstValue);
}

void ProgressValue(int32_t value)
{
    if (progressMonitor != nullptr && progressMonitor->setCurrentValue != nullptr) {
        progressMonitor->setCurrentValue(value, progressData);
    }
}

void ProgressEnd()
{
    if (progressMonitor != nullptr && progressMonitor->end != nullptr) {
        progressMonitor->end(progressData);
    }
}

FixedRect *AllocateSavedCropBoxes(int32_t pageCount)
{
    // A count whose byte size does not fit the host's 32-bit request is
    // treated like a refused block rather than asking for a wrapped size.
    if (pageCount <= 0 || static_cast<uint32_t>(pageCount) > UINT32_MAX / sizeof(FixedRect)) {
        return nullptr;
    }
    const uint32_t bytes = static_cast<uint32_t>(pageCount) * sizeof(FixedRect);
    void *block = host.support->Allocate(bytes);
    if (block == nullptr) {
        return nullptr;
    }
    std::memset(block, 0, bytes);
    return static_cast<FixedRect *>(block);
}

void FreeSavedCropBoxes(FixedRect *saved)
{
    if (saved != nullptr) {
        host.support->Free(saved);
    }
}

void ApplyCropBox(Page page, FixedRect box)
{
    host.model->SetCropBox(page, box.left, box.top, box.right, box.bottom);
    host.model->NotifyPageChanged(page);
}

void SaveCropBox(Document doc, int32_t index, FixedRect *saved)
{
    const Page page = host.model->AcquirePage(doc, index);
    host.model->GetCropBox(page, &saved[index]);
    host.model->ReleasePage(page);
}

void ChangeCropBox(Document doc, int32_t index, FixedRect *saved, NewCropBoxProc newBox,
                   const void *context)
{
    const Page page = host.model->AcquirePage(doc, index);
    if (saved != nullptr) {
        host.model->GetCropBox(page, &saved[index]);
    }
    ApplyCropBox(page, newBox(page, context));
    host.model->ReleasePage(page);
}

bool RunPageLoop(Document doc, int32_t pageCount, int32_t first, int32_t stride,
                 FixedRect *saved, PageStepProc step, void *context)
{
    int32_t i = first;
    while (i < pageCount) {
        ProgressValue(i);
        if (StopRequested()) {
            RestoreCropBoxes(doc, saved, first, stride, i);
            host.viewer->AlertNote("Cancelled.");
            return true;
        }
        if (step(doc, i, saved, context) == StepOutcome::Next) {
            i = Advance(i, stride, pageCount);
        }
    }
    return false;
}
