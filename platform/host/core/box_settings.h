// SPDX-License-Identifier: AGPL-3.0-or-later
// How the host finds and reports a page's bounding box: which pixels of an
// image are ink, and the margin added around every box it reports.
#pragma once

#include "vx_types.h"

#include <string>

namespace vellora {

// Percent of the way from white to black a pixel's farthest channel must be
// beyond to count as ink. Chosen from scans (docs/pdf-backend.md): JPEG
// noise around text and grey paper stay below it, the thinnest strokes of
// a 300 dpi scan halved to 150 dpi stay above.
constexpr double kDefaultInkThreshold = 25.0;

struct InkSettings {
    double threshold = kDefaultInkThreshold;  // 0 to below 100
    bool ignoreDarkEdges = false;
};

// Points added on each side, in the page's own space; none negative.
struct BoxMargin {
    Fixed left = 0, bottom = 0, right = 0, top = 0;
};

// `box` grown by `margin`, each side stopping at the end of the Fixed range.
FixedRect GrowBox(const FixedRect& box, const BoxMargin& margin);

// The values of the options that set these, for every command that takes
// them; a bad value throws UsageError naming the option.
// --margin: one number of points for every side, or four, L,B,R,T.
BoxMargin MarginOption(const std::string& text);
// --ink-threshold: a percentage from 0 to below 100.
Fixed InkThresholdOption(const std::string& text);

}  // namespace vellora
