// SPDX-License-Identifier: AGPL-3.0-or-later
// What a document keeps of its run of bounding boxes: a run lasts from the
// first box asked for until every page has one, or the document is saved or
// closed. Workers (a BboxLookahead) find boxes ahead of the pages asked for
// while there are cores for them; meanwhile the document's own MuPDF
// document reads pages for their crop boxes only, and lets go of what it
// read besides now and then.
#pragma once

#include "backend/pdf/bbox_lookahead.h"

#include <memory>

namespace vellora::pdf {

struct BboxRun {
    std::unique_ptr<BboxLookahead> lookahead;
    bool started = false;
    bool pageNumbers = false;  // MuKeepPageNumbers holds for the run
    int unknownBoxes = 0;      // pages without a bounding box yet, run or not
    // A changed page object MuPDF's cache might let go of: until the next
    // save nothing may be cleared from it.
    bool unmarked = false;
    int editsSinceCleared = 0;

    // True when what MuPDF read besides the page objects may be let go of
    // now: only with workers running (the document alone reads every page
    // in full) and no change that lives in the cache alone.
    bool mayClearCache() const
    {
        return lookahead && !unmarked;
    }
    // After a crop box was written: true every BboxLookahead::kAhead edits
    // while the cache may be cleared.
    bool clearAfterEdit()
    {
        if (!mayClearCache() || ++editsSinceCleared < BboxLookahead::kAhead)
            return false;
        editsSinceCleared = 0;
        return true;
    }
    // A page's first bounding box was found: true when it was the last.
    bool lastBoxFound()
    {
        return --unknownBoxes == 0;
    }
};

}  // namespace vellora::pdf
