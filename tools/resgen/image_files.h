// SPDX-License-Identifier: AGPL-3.0-or-later
// Writes text art as the platform's cursor (.cur) and bitmap (.bmp) files,
// which the resource compiler takes as they are.
#pragma once

#include "art_source.h"

#include <cstdint>
#include <vector>

namespace resgen {

// A 1-bit cursor: ICONDIR of type 2 with the hot spot, then the image's
// BITMAPINFOHEADER (height doubled), black/white palette, XOR and AND masks.
std::vector<uint8_t> EncodeCursor(const Art& art, const std::string& name);

// A bitmap file at the art's depth: 4 bits with the standard 16-colour
// palette, or 1 bit black and white. Every colour must be in the palette.
std::vector<uint8_t> EncodeBitmap(const Art& art, const std::string& name);

}  // namespace resgen
