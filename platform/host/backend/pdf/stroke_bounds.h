// SPDX-License-Identifier: AGPL-3.0-or-later
// The exact extent of a stroked path. MuPDF's own bound of a stroke grows
// the path by half the line width times the miter limit on every side,
// which puts a box drawn with a 10 pt mitred line 45 pt beyond its ink; a
// user cropping to the marks wants the ink.
#pragma once

#include <mupdf/fitz.h>

namespace vellora::pdf {

// Bounds, in the space `ctm` maps to, of `path` stroked with `stroke` in
// user space. Dashed strokes are bounded as if solid. Never throws.
fz_rect StrokeBounds(fz_context* ctx, const fz_path* path, const fz_stroke_state* stroke,
                     fz_matrix ctm);

}  // namespace vellora::pdf
