// The crop run: a click inside the selected region crops the current page or
// a set of pages to it.
#pragma once

#include "vx_types.h"

// The run-wide answer to the orientation question, read by CropOnePage.
enum class OrientationPolicyValue : int32_t {
    Unset = 0,    // from load until the first page-set run
    Ask = 1,      // the next mismatch asks
    Skip = 2,     // mismatched pages are left alone without asking
    CropAll = 3,  // pages are cropped without comparing orientations
};

extern OrientationPolicyValue OrientationPolicy;

// Answers of the Pages To Crop dialog; any other value counts as Cancel.
enum class PageChoice : intptr_t {
    Cancel = 0,
    Current = 1,
    All = 2,
    Odd = 3,
    Even = 4,
};

// 0 when the region failed validation (the user was told why and the tool
// keeps it); 1 in every other case.
HostBool CropRun();

// The page-set part of the run for All, Odd or Even, on the active window's
// document.
void CropPageSet(Document doc, PageChoice choice);
