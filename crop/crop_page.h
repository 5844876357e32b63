// SPDX-License-Identifier: AGPL-3.0-or-later
// Cropping one page of the active document to the selected region.
#pragma once

#include "vx_types.h"

// The run-wide answer to the orientation question (kept by the crop run).
enum class OrientationPolicyValue : int32_t {
    Unset = 0,    // from load until the first page-set run
    Ask = 1,      // the next mismatch asks
    Skip = 2,     // mismatched pages are left alone without asking
    CropAll = 3,  // pages are cropped without comparing orientations
};

enum class CropResult : int32_t {
    Cropped = 1,
    OrientationMismatch = 2,  // size or rotation differs from the captured page
    BadRotation = 3,          // no turn maps the region onto the page
    NoOverlap = 4,            // the clipped region is under an inch either way
};

// Page index from 0, of the active window's document. The caller makes sure
// a document window is active and the index is one of its pages. Only
// CropAll in `policy` matters: orientations are then not compared.
CropResult CropOnePage(int32_t pageIndex, OrientationPolicyValue policy);
