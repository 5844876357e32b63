// SPDX-License-Identifier: AGPL-3.0-or-later
#include "render/png_writer.h"

#include "files/atomic_file.h"

#include <zlib.h>

#include <bit>
#include <cstdlib>
#include <cstring>

namespace vellora {

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char type[4], const std::vector<uint8_t>& data) {
    Put32(out, static_cast<uint32_t>(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    Put32(out, Crc32(out.data() + start, out.size() - start));
}

// A filtered byte's distance from zero, read as signed.
uint32_t Magnitude(uint8_t v) { return uint32_t(std::abs(int(int8_t(v)))); }

// The row's bytes in PNG's order: R, G, B, A (a pixel holds R in its low byte).
void RowBytes(const Raster& raster, int y, uint8_t* out) {
    const uint32_t* pixels = &raster.pixels[size_t(y) * size_t(raster.width)];
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, pixels, size_t(raster.width) * 4);
    } else {
        for (int x = 0; x < raster.width; ++x)
            for (int c = 0; c < 4; ++c) out[size_t(x) * 4 + size_t(c)] = static_cast<uint8_t>(pixels[x] >> (8 * c));
    }
}

// Filter type byte, then the row. Of None, Sub and Up, the filter whose
// bytes, read as signed, sum smallest in magnitude: deflate then compresses
// best as a rule. Average and Paeth gain little on drawn pages and would
// cost more time than the compression.
std::vector<uint8_t> FilteredRows(const Raster& raster) {
    const size_t n = size_t(raster.width) * 4;
    std::vector<uint8_t> rows((n + 1) * size_t(raster.height));
    // Four zero bytes before each row: the left neighbours of its first pixel.
    std::vector<uint8_t> above(n, 0), current(n + 4, 0);
    uint8_t* row = current.data() + 4;
    for (int y = 0; y < raster.height; ++y) {
        RowBytes(raster, y, row);
        uint64_t none = 0, sub = 0, up = 0;
        for (size_t i = 0; i < n; ++i) {
            none += Magnitude(row[i]);
            sub += Magnitude(uint8_t(row[i] - row[i - 4]));
            up += Magnitude(uint8_t(row[i] - above[i]));
        }
        uint8_t* out = &rows[size_t(y) * (n + 1)];
        if (none <= sub && none <= up) {
            out[0] = 0;
            std::memcpy(out + 1, row, n);
        } else if (sub <= up) {
            out[0] = 1;
            for (size_t i = 0; i < n; ++i) out[1 + i] = uint8_t(row[i] - row[i - 4]);
        } else {
            out[0] = 2;
            for (size_t i = 0; i < n; ++i) out[1 + i] = uint8_t(row[i] - above[i]);
        }
        std::memcpy(above.data(), row, n);
    }
    return rows;
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
    // zlib takes lengths as uInt; a chunk is far below its limit.
    return uint32_t(crc32(crc, data, uInt(size)));
}

std::vector<uint8_t> EncodePng(const Raster& raster) {
    if (raster.width <= 0 || raster.height <= 0) throw HostError("cannot write an empty image");
    const std::vector<uint8_t> rows = FilteredRows(raster);
    uLongf size = compressBound(uLong(rows.size()));
    std::vector<uint8_t> zlib(size);
    if (compress2(zlib.data(), &size, rows.data(), uLong(rows.size()), Z_DEFAULT_COMPRESSION) != Z_OK) {
        throw HostError("cannot compress the image (out of memory)");
    }
    zlib.resize(size);

    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    Put32(header, static_cast<uint32_t>(raster.width));
    Put32(header, static_cast<uint32_t>(raster.height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, deflate, adaptive filters, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", {});
    return png;
}

void WritePng(const Raster& raster, const std::string& path) { WriteFileAtomically(path, EncodePng(raster)); }

}  // namespace vellora
