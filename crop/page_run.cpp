// SPDX-License-Identifier: AGPL-3.0-or-later
#include "crop/page_run.h"

#include <cstring>

#include "module/module_state.h"

namespace {

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

CancelAndProgress FetchCancelAndProgress()
{
    CancelAndProgress slots = {nullptr, nullptr, nullptr, nullptr};
    slots.cancelCheck = host.viewer->GetCancelCheck(&slots.cancelData);
    slots.progressMonitor = host.viewer->GetProgressMonitor(&slots.progressData);
    return slots;
}

bool StopRequested(const CancelAndProgress &slots)
{
    // A host without a cancel check cannot be stopped.
    return slots.cancelCheck != nullptr && slots.cancelCheck(slots.cancelData) != 0;
}

void ProgressBegin(const CancelAndProgress &slots, int32_t duration, int32_t firstValue)
{
    const ProgressMonitor *monitor = slots.progressMonitor;
    if (monitor == nullptr) {
        return;
    }
    if (monitor->begin != nullptr) {
        monitor->begin(slots.progressData);
    }
    if (monitor->setDuration != nullptr) {
        monitor->setDuration(duration, slots.progressData);
    }
    ProgressValue(slots, firstValue);
}

void ProgressValue(const CancelAndProgress &slots, int32_t value)
{
    const ProgressMonitor *monitor = slots.progressMonitor;
    if (monitor != nullptr && monitor->setCurrentValue != nullptr) {
        monitor->setCurrentValue(value, slots.progressData);
    }
}

void ProgressEnd(const CancelAndProgress &slots)
{
    const ProgressMonitor *monitor = slots.progressMonitor;
    if (monitor != nullptr && monitor->end != nullptr) {
        monitor->end(slots.progressData);
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

bool RunPageLoop(const CancelAndProgress &slots, Document doc, int32_t pageCount, int32_t first,
                 int32_t stride, FixedRect *saved, PageStepProc step, void *context)
{
    int32_t i = first;
    while (i < pageCount) {
        ProgressValue(slots, i);
        if (StopRequested(slots)) {
            RestoreCropBoxes(doc, saved, first, stride, i);
            host.viewer->AlertNote(kCancelledNote);
            return true;
        }
        if (step(doc, i, saved, context) == StepOutcome::Next) {
            i = Advance(i, stride, pageCount);
        }
    }
    return false;
}
