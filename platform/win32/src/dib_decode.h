// SPDX-License-Identifier: AGPL-3.0-or-later
// Device-independent bitmaps as resources store them: a BITMAPINFOHEADER,
// a palette and the pixel rows (bottom-up unless the height is negative).
// Cursor images are DIBs of twice their height: the colour (XOR) rows
// followed by the 1-bit AND mask.
#pragma once

#include <vxwin32/standin.h>

#include <cstdint>
#include <optional>
#include <span>

namespace vxwin32::detail {

struct DecodedDib {
    int bitsPerPixel = 0;
    Image image;  // opaque pixels; cursors: transparent where the AND mask is set
};

// nullopt for anything malformed or unsupported (compressed data, more than
// 4096 pixels a side, a truncated palette or pixel rows).
std::optional<DecodedDib> DecodeBitmapDib(std::span<const uint8_t> data);
std::optional<DecodedDib> DecodeCursorDib(std::span<const uint8_t> data);

}  // namespace vxwin32::detail
