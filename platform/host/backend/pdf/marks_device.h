// SPDX-License-Identifier: AGPL-3.0-or-later
// A device that finds the bounds of what a page visibly puts on paper.
//
// It wraps MuPDF's bbox device (which keeps track of clipping, groups,
// masks and tiles) and changes what reaches it:
// - paint that cannot be seen on white paper (white, or fully transparent)
//   is not a mark;
// - a stroke counts with its exact outline (see stroke_bounds.h), not with
//   MuPDF's miter-limit allowance;
// - an image counts with its ink (see image_ink.h), not its frame, and an
//   image mask clips to the part of it that lets paint through.
// Nothing is clipped to any page box: marks beyond the media box are
// reported as they are, and the host decides what to do with them.
#pragma once

#include "backend/pdf/image_ink.h"

#include <mupdf/fitz.h>

namespace vellora::pdf {

// The bounds accumulate in *result (in device space, `unitsPerPoint` device
// units a point), which must outlive the device. Throws (fz_throw) like any
// MuPDF constructor.
fz_device* NewMarksDevice(fz_context* ctx, fz_rect* result, const InkOptions& ink,
                          float unitsPerPoint);

}  // namespace vellora::pdf
