// SPDX-License-Identifier: AGPL-3.0-or-later
// Where the ink of an image lies: the pixels a reader sees as marks, not the
// image's frame. A scanned page is one image the size of the page; its box
// is the box of the text on it.
//
// The image is decoded at about kInkPixelsPerPoint pixels a point where its
// format allows (MuPDF subsamples JPEG as it decodes, and halves other
// formats after decoding), never finer than it is stored. A pixel is ink
// when its colour, after the image's decode array and colour space and
// composed over white with its alpha and the paint's opacity, is further
// from white than the threshold in some channel. Connected ink that fits
// within a kSpeckPoints square is dust or scanner noise and does not count.
// Dark bands along the image's edges (the shadow of a scanner's lid or of a
// book's gutter) are left out on request.
#pragma once

#include <mupdf/fitz.h>

namespace vellora::pdf {

// Decoding resolution aimed at: 2 pixels a point (144 dpi).
constexpr float kInkPixelsPerPoint = 2.0f;
// Ink that fits within a square of this side, with no other ink touching it,
// is a speck.
constexpr float kSpeckPoints = 1.0f;

struct InkOptions {
    // 0 (any non-white pixel is ink) to below 1 (only near-black is).
    float threshold;
    // Rows and columns at an edge that are at least half ink, up to an
    // eighth of the image, are not content.
    bool ignoreDarkEdges;
    // One-bit images are read as the bits they hold, greyscale JPEGs row by
    // row as libjpeg decodes them, never into a pixmap (the box is the same;
    // off only to compare the two).
    bool readPacked = true;
};

enum class InkFound { Some, None, Unknown };

// The ink of `image` painted through `ctm` (device units, `unitsPerPoint` of
// them a point). `strength` (0 to 1) scales each pixel's distance from white:
// the paint's opacity, and for a stencil mask how far its colour is from
// white. `stencil` reads the image's samples as coverage. `mask`, when not
// null, is the image's own soft mask or stencil, painted through the same
// transform: a pixel shows as far as it lets it through. On Some, `*unit`
// is the ink's box in the image's unit square, rounded outward to the
// decoded pixels. Unknown when the image cannot be decoded (MuPDF's error
// goes to its log). Never throws.
InkFound FindImageInk(fz_context* ctx, fz_image* image, fz_matrix ctm, float unitsPerPoint,
                      float strength, bool stencil, fz_image* mask, const InkOptions& options,
                      fz_rect* unit);

}  // namespace vellora::pdf
