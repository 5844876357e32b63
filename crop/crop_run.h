// SPDX-License-Identifier: AGPL-3.0-or-later
// The crop run: a click inside the selected region crops the current page or
// a set of pages to it.
#pragma once

#include "crop/crop_page.h"
#include "crop/page_run.h"
#include "ui/page_choice.h"
#include "vx_types.h"

// Written only by the crop run. Module-wide rather than run-local because a
// "Crop" answer also holds for single-page crops until the next page-set run.
extern OrientationPolicyValue OrientationPolicy;

// 0 when the region failed validation (the user was told why and the tool
// keeps it); 1 in every other case.
HostBool CropRun();

// The page-set part of the run for All, Odd or Even, on the active window's
// document, with the run's cancel check and progress monitor.
void CropPageSet(const CancelAndProgress &slots, Document doc, PageChoice choice);
