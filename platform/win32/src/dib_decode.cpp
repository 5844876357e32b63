// SPDX-License-Identifier: AGPL-3.0-or-later
#include "dib_decode.h"

#include "byte_reader.h"

#include <vector>

namespace vxwin32::detail {
namespace {

constexpr int kMaxSide = 4096;
constexpr uint32_t kOpaque = 0xFF000000u;

uint32_t Rgba(uint8_t r, uint8_t g, uint8_t b) { return kOpaque | (uint32_t{b} << 16) | (uint32_t{g} << 8) | r; }

size_t RowBytes(int width, int bits) { return (static_cast<size_t>(width) * bits + 31) / 32 * 4; }

unsigned Sample(std::span<const uint8_t> row, int x, int bits) {
    const size_t bit = static_cast<size_t>(x) * bits;
    const unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
    return (row[bit / 8] >> shift) & ((1u << bits) - 1);
}

struct Layout {
    int width = 0;
    int height = 0;  // rows of the colour image
    bool topDown = false;
    int bits = 0;
    std::vector<uint32_t> palette;
    std::span<const uint8_t> colourRows;
    std::span<const uint8_t> maskRows;  // cursors only
};

std::optional<Layout> ReadLayout(std::span<const uint8_t> data, bool cursor) {
    ByteReader r(data);
    const uint32_t headerSize = r.U32();
    const auto width = static_cast<int32_t>(r.U32());
    const auto heightField = static_cast<int32_t>(r.U32());
    const uint16_t planes = r.U16();
    const uint16_t bits = r.U16();
    const uint32_t compression = r.U32();
    r.Skip(12);  // image size, resolution
    const uint32_t coloursUsed = r.U32();
    if (!r.ok() || headerSize < 40 || planes != 1 || compression != 0) return std::nullopt;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return std::nullopt;
    if (width <= 0 || width > kMaxSide || heightField == 0 || heightField < -kMaxSide ||
        heightField > (cursor ? 2 : 1) * kMaxSide)
        return std::nullopt;

    Layout layout;
    layout.width = width;
    layout.bits = bits;
    layout.topDown = heightField < 0;
    if (cursor) {
        if (heightField < 0 || heightField % 2 != 0) return std::nullopt;
        layout.height = heightField / 2;
    } else {
        layout.height = heightField < 0 ? -heightField : heightField;
    }

    r.Seek(headerSize);
    if (bits <= 8) {
        const uint32_t maxColours = 1u << bits;
        const uint32_t count = coloursUsed == 0 ? maxColours : coloursUsed;
        if (count > maxColours) return std::nullopt;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t b = r.U8(), g = r.U8(), red = r.U8();
            r.Skip(1);
            layout.palette.push_back(Rgba(red, g, b));
        }
    }
    layout.colourRows = r.Bytes(RowBytes(layout.width, bits) * layout.height);
    if (cursor) layout.maskRows = r.Bytes(RowBytes(layout.width, 1) * layout.height);
    if (!r.ok()) return std::nullopt;
    return layout;
}

uint32_t ColourAt(const Layout& layout, std::span<const uint8_t> row, int x) {
    if (layout.bits <= 8) {
        const unsigned index = Sample(row, x, layout.bits);
        // An index past the palette shows black, as the platform draws it.
        return index < layout.palette.size() ? layout.palette[index] : Rgba(0, 0, 0);
    }
    const size_t at = static_cast<size_t>(x) * (layout.bits / 8);
    return Rgba(row[at + 2], row[at + 1], row[at]);
}

std::optional<DecodedDib> Decode(std::span<const uint8_t> data, bool cursor) {
    const auto layout = ReadLayout(data, cursor);
    if (!layout) return std::nullopt;
    DecodedDib out;
    out.bitsPerPixel = layout->bits;
    out.image.width = layout->width;
    out.image.height = layout->height;
    out.image.rgba.resize(static_cast<size_t>(layout->width) * layout->height);
    const size_t stride = RowBytes(layout->width, layout->bits);
    const size_t maskStride = RowBytes(layout->width, 1);
    for (int y = 0; y < layout->height; ++y) {
        const size_t stored = static_cast<size_t>(layout->topDown ? y : layout->height - 1 - y);
        const auto row = layout->colourRows.subspan(stored * stride, stride);
        for (int x = 0; x < layout->width; ++x) {
            uint32_t pixel = ColourAt(*layout, row, x);
            // AND mask set: the screen shows through where the colour is
            // black; elsewhere the platform inverts the screen, which an
            // image cannot show, so those pixels stay opaque.
            if (cursor && Sample(layout->maskRows.subspan(stored * maskStride, maskStride), x, 1) == 1 &&
                (pixel & 0x00FFFFFFu) == 0)
                pixel = 0;
            out.image.rgba[static_cast<size_t>(y) * layout->width + x] = pixel;
        }
    }
    return out;
}

}  // namespace

std::optional<DecodedDib> DecodeBitmapDib(std::span<const uint8_t> data) { return Decode(data, false); }
std::optional<DecodedDib> DecodeCursorDib(std::span<const uint8_t> data) { return Decode(data, true); }

}  // namespace vxwin32::detail
