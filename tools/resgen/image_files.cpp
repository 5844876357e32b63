// SPDX-License-Identifier: AGPL-3.0-or-later
#include "image_files.h"

#include <array>
#include <functional>

namespace resgen {
namespace {

constexpr std::array<Colour, 16> kStandardPalette{{
    {0, 0, 0},
    {128, 0, 0},
    {0, 128, 0},
    {128, 128, 0},
    {0, 0, 128},
    {128, 0, 128},
    {0, 128, 128},
    {192, 192, 192},
    {128, 128, 128},
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {0, 0, 255},
    {255, 0, 255},
    {0, 255, 255},
    {255, 255, 255},
}};
constexpr std::array<Colour, 2> kMonoPalette{{{0, 0, 0}, {255, 255, 255}}};

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

size_t RowBytes(int width, int bits) { return ((static_cast<size_t>(width) * bits + 31) / 32) * 4; }

// Pixel rows bottom-up, each padded to four bytes, as a DIB stores them.
std::vector<uint8_t> PackRows(int width, int height, int bits, const std::function<unsigned(int x, int y)>& indexAt) {
    const size_t stride = RowBytes(width, bits);
    std::vector<uint8_t> rows(stride * height, 0);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = rows.data() + stride * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const unsigned bit = static_cast<unsigned>(x * bits);
            const unsigned shift = 8 - bits - (bit % 8);
            row[bit / 8] = static_cast<uint8_t>(row[bit / 8] | (indexAt(x, y) << shift));
        }
    }
    return rows;
}

void PutInfoHeader(std::vector<uint8_t>& out, int width, int heightField, int bits, size_t imageBytes, size_t colours) {
    PutU32(out, 40);
    PutU32(out, static_cast<uint32_t>(width));
    PutU32(out, static_cast<uint32_t>(heightField));
    PutU16(out, 1);  // planes
    PutU16(out, static_cast<uint32_t>(bits));
    PutU32(out, 0);  // BI_RGB
    PutU32(out, static_cast<uint32_t>(imageBytes));
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, static_cast<uint32_t>(colours));
    PutU32(out, 0);
}

template <size_t N>
void PutPalette(std::vector<uint8_t>& out, const std::array<Colour, N>& palette) {
    for (const Colour& c : palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
}

template <size_t N>
unsigned PaletteIndex(const Colour& pixel, const std::array<Colour, N>& palette, const std::string& name) {
    for (unsigned i = 0; i < N; ++i)
        if (palette[i] == pixel) return i;
    throw ArtError(name + ": colour " + std::to_string(pixel.r) + " " + std::to_string(pixel.g) + " " +
                   std::to_string(pixel.b) + " is not in the " + std::to_string(N) + "-colour palette");
}

}  // namespace

std::vector<uint8_t> EncodeCursor(const Art& art, const std::string& name) {
    if (art.width > 255 || art.height > 255) throw ArtError(name + ": a cursor is at most 255 pixels");
    // Colour of a shown pixel: black or white; transparent pixels are
    // black in the XOR mask and set in the AND mask.
    std::vector<unsigned> xorIndex;
    for (const Colour& pixel : art.pixels)
        xorIndex.push_back(pixel.transparent ? 0u : PaletteIndex(pixel, kMonoPalette, name));
    const auto at = [&art](int x, int y) { return static_cast<size_t>(y) * art.width + x; };
    const auto xorMask = PackRows(art.width, art.height, 1, [&](int x, int y) { return xorIndex[at(x, y)]; });
    const auto andMask =
        PackRows(art.width, art.height, 1, [&](int x, int y) { return art.pixels[at(x, y)].transparent ? 1u : 0u; });

    std::vector<uint8_t> image;
    PutInfoHeader(image, art.width, art.height * 2, 1, xorMask.size() + andMask.size(), 2);
    PutPalette(image, kMonoPalette);
    image.insert(image.end(), xorMask.begin(), xorMask.end());
    image.insert(image.end(), andMask.begin(), andMask.end());

    std::vector<uint8_t> out;
    PutU16(out, 0);  // reserved
    PutU16(out, 2);  // cursor
    PutU16(out, 1);  // one image
    out.push_back(static_cast<uint8_t>(art.width));
    out.push_back(static_cast<uint8_t>(art.height));
    out.push_back(0);  // colour count (0: not a palette image in this field's sense)
    out.push_back(0);
    PutU16(out, static_cast<uint32_t>(art.hotX));
    PutU16(out, static_cast<uint32_t>(art.hotY));
    PutU32(out, static_cast<uint32_t>(image.size()));
    PutU32(out, static_cast<uint32_t>(out.size() + 4));
    out.insert(out.end(), image.begin(), image.end());
    return out;
}

std::vector<uint8_t> EncodeBitmap(const Art& art, const std::string& name) {
    const bool mono = art.bitsPerPixel == 1;
    std::vector<unsigned> indices;
    for (const Colour& pixel : art.pixels)
        indices.push_back(mono ? PaletteIndex(pixel, kMonoPalette, name) : PaletteIndex(pixel, kStandardPalette, name));
    const size_t colours = mono ? kMonoPalette.size() : kStandardPalette.size();
    const auto bits = PackRows(art.width, art.height, art.bitsPerPixel,
                               [&](int x, int y) { return indices[static_cast<size_t>(y) * art.width + x]; });

    const uint32_t offset = static_cast<uint32_t>(14 + 40 + colours * 4);
    std::vector<uint8_t> out{'B', 'M'};
    PutU32(out, offset + static_cast<uint32_t>(bits.size()));
    PutU32(out, 0);
    PutU32(out, offset);
    PutInfoHeader(out, art.width, art.height, art.bitsPerPixel, bits.size(), colours);
    if (mono)
        PutPalette(out, kMonoPalette);
    else
        PutPalette(out, kStandardPalette);
    out.insert(out.end(), bits.begin(), bits.end());
    return out;
}

}  // namespace resgen
