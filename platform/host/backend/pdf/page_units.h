// SPDX-License-Identifier: AGPL-3.0-or-later
// Conversions between PDF numbers (points, as MuPDF reads them) and the
// host's 16.16 page units, and the reading of a page's /Rotate.
#pragma once

#include "vx_types.h"

#include <optional>

namespace vellora::pdf {

// A PDF rectangle as read: its corners in whatever order the file lists them.
struct PdfRect {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// The nearest Fixed value, or none when `points` is not a number or lies
// outside what 16.16 can hold.
std::optional<Fixed> ToFixed(double points);

// Normalised (left < right, bottom < top) and converted; none when a side
// does not fit the Fixed range.
std::optional<FixedRect> ToFixedRect(const PdfRect& r);

// The smallest Fixed rectangle holding `r` (rounded outward), with each side
// clamped to the Fixed range: for marks, which may reach anywhere.
FixedRect ToFixedRectOutward(const PdfRect& r);

double ToPoints(Fixed f);

// The number to write into a file for `f`: MuPDF keeps PDF reals as floats,
// so this is the float nearest to `f` that reads back inside the Fixed range.
float ToWritablePoints(Fixed f);

// Multiples of 90 in 0..270 (-90 is 270, 450 is 90); any other value as it
// stands.
int NormaliseRotation(int degrees);

// A /Rotate value as read (a PDF number), as PDF readers take it: rounded to
// an integer and reduced to 0..359 (-450 is 270, 32768 is 8); 0 when not
// finite.
int RotationFromNumber(double value);

}  // namespace vellora::pdf
