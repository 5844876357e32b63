// SPDX-License-Identifier: AGPL-3.0-or-later
#include "render/raster_draw.h"

#include <gtest/gtest.h>

namespace vellora {
namespace {

// Pixels are 0xAABBGGRR.
TEST(RasterDraw, CompositeOverBlendsPremultipliedPixelsAtTheirPlaceOnly) {
    Raster raster(3, 2, 0xFF808080u);
    // A 2 x 1 picture at (1, 1): opaque red, then half-covering blue
    // (premultiplied: 0x80 of blue at alpha 0x80).
    const unsigned char picture[] = {0xFF, 0, 0, 0xFF, 0, 0, 0x80, 0x80};
    CompositeOver(raster, 1, 1, picture, 2, 1);
    EXPECT_EQ(raster.at(1, 1), 0xFF0000FFu);
    // Each channel: over + under * (255 - a) / 255, rounded: 0x80 * 0x7F / 0xFF = 0x40.
    EXPECT_EQ(raster.at(2, 1), 0xFFC04040u);
    // Outside the picture nothing changes.
    for (int x = 0; x < 3; ++x) EXPECT_EQ(raster.at(x, 0), 0xFF808080u);
    EXPECT_EQ(raster.at(0, 1), 0xFF808080u);

    // A clear pixel leaves the raster as it was; one whose colour exceeds
    // its alpha (not truly premultiplied) is held at 255.
    Raster other(2, 1, 0x11223344u);
    const unsigned char overfull[] = {0x99, 0x99, 0x99, 0, 0xFF, 0x10, 0x10, 0x10};
    CompositeOver(other, 0, 0, overfull, 2, 1);
    EXPECT_EQ(other.at(0, 0), 0x11223344u);
    EXPECT_EQ(other.at(1, 0), 0x203040FFu);
}

}  // namespace
}  // namespace vellora
