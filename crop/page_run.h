// SPDX-License-Identifier: AGPL-3.0-or-later
// What every command that changes pages shares: the cancel check and the
// progress monitor of the command, the undo buffer, the one page step that
// saves, sets, notifies and releases, and the one loop that gives pages back
// on a stop.
#pragma once

#include "vx_tables.h"
#include "vx_types.h"

// What the user is told when a command stopped at their request.
inline constexpr char kCancelledNote[] = "Cancelled.";

// The cancel check and the progress monitor of one command, with their data.
struct CancelAndProgress {
    CancelCheckProc cancelCheck;
    void *cancelData;
    const ProgressMonitor *progressMonitor;
    void *progressData;
};

// Asks the host for both slots afresh; each command calls it at its start
// and uses what it gives only within itself.
CancelAndProgress FetchCancelAndProgress();

// True once the user has asked to stop.
bool StopRequested(const CancelAndProgress &slots);

// Progress calls; entries the monitor lacks, or a missing monitor, are skipped.
void ProgressBegin(const CancelAndProgress &slots, int32_t duration, int32_t firstValue);
void ProgressValue(const CancelAndProgress &slots, int32_t value);
void ProgressEnd(const CancelAndProgress &slots);

// `SavedCropBoxes`: one FixedRect per page of the document, zero-filled, or
// null when the host refused the block (the run then goes on unsaved).
FixedRect *AllocateSavedCropBoxes(int32_t pageCount);
void FreeSavedCropBoxes(FixedRect *saved);

// Sets the page's crop box and tells the host the page changed.
void ApplyCropBox(Page page, FixedRect box);

// Acquires page `index`, copies its crop box into its slot, releases it.
void SaveCropBox(Document doc, int32_t index, FixedRect *saved);

// The new crop box of a page, computed from the page itself.
typedef FixedRect (*NewCropBoxProc)(Page page, const void *context);

// The page step of the page commands: acquire page `index`, save its crop
// box when there is a buffer, set the new box, notify, release.
void ChangeCropBox(Document doc, int32_t index, FixedRect *saved, NewCropBoxProc newBox,
                   const void *context);

enum class StepOutcome { Next, Again };

// One page of a loop; Again takes the same page once more from the top of
// the loop (its progress value and stop check included).
typedef StepOutcome (*PageStepProc)(Document doc, int32_t index, FixedRect *saved, void *context);

// Runs `step` for first, first + stride, ... below pageCount, setting the
// progress value and polling the stop request before each page. On a stop
// the pages of the loop already passed get their saved boxes back and the
// user is told "Cancelled."; returns true then.
bool RunPageLoop(const CancelAndProgress &slots, Document doc, int32_t pageCount, int32_t first,
                 int32_t stride, FixedRect *saved, PageStepProc step, void *context);
