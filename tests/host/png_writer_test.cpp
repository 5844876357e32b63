// SPDX-License-Identifier: AGPL-3.0-or-later
#include "render/png_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <set>

namespace vellora {
namespace {

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
};

// Reads the chunks back, checking every CRC.
std::vector<Chunk> ReadChunks(const std::vector<uint8_t>& png) {
    std::vector<Chunk> chunks;
    const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_EQ(std::memcmp(png.data(), signature, 8), 0);
    for (size_t at = 8; at < png.size();) {
        uint32_t length = Be32(png, at);
        Chunk c{std::string(png.begin() + at + 4, png.begin() + at + 8),
                std::vector<uint8_t>(png.begin() + at + 8, png.begin() + at + 8 + length)};
        EXPECT_EQ(Be32(png, at + 8 + length), Crc32(png.data() + at + 4, length + 4)) << c.type;
        chunks.push_back(std::move(c));
        at += 12 + length;
    }
    return chunks;
}

// The pixels a PNG reader gets back: inflated, each row unfiltered as the
// PNG format defines (written here from the format, not from the writer). The
// filter types the rows use go to `types`.
Raster Decode(const std::vector<uint8_t>& png, std::set<int>* types = nullptr) {
    const std::vector<Chunk> chunks = ReadChunks(png);
    EXPECT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(chunks[1].type, "IDAT");
    EXPECT_EQ(chunks.back().type, "IEND");
    const int w = int(Be32(chunks[0].data, 0)), h = int(Be32(chunks[0].data, 4));
    EXPECT_EQ(chunks[0].data[8], 8);  // bit depth
    EXPECT_EQ(chunks[0].data[9], 6);  // RGBA
    const size_t stride = size_t(w) * 4;
    std::vector<uint8_t> raw((stride + 1) * size_t(h));
    uLongf size = uLongf(raw.size());
    EXPECT_EQ(uncompress(raw.data(), &size, chunks[1].data.data(), uLong(chunks[1].data.size())), Z_OK);
    EXPECT_EQ(size, raw.size());
    Raster out(w, h, 0);
    std::vector<uint8_t> prev(stride, 0), line(stride);
    for (int y = 0; y < h; ++y) {
        const uint8_t type = raw[size_t(y) * (stride + 1)];
        EXPECT_LE(type, 4);
        if (types) types->insert(type);
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= 4 ? line[i - 4] : 0, b = prev[i], c = i >= 4 ? prev[i - 4] : 0;
            const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
            const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
            const int predicted = type == 1 ? a : type == 2 ? b : type == 3 ? (a + b) / 2 : type == 4 ? paeth : 0;
            line[i] = uint8_t(raw[size_t(y) * (stride + 1) + 1 + i] + predicted);
        }
        for (int x = 0; x < w; ++x) {
            uint32_t v = 0;
            for (int k = 0; k < 4; ++k) v |= uint32_t(line[size_t(x) * 4 + size_t(k)]) << (8 * k);
            out.at(x, y) = v;
        }
        prev = line;
    }
    return out;
}

void ExpectSamePixels(const Raster& a, const Raster& b) {
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) ASSERT_EQ(a.at(x, y), b.at(x, y)) << "at " << x << "," << y;
}

TEST(PngWriter, KnownChecksum) {
    const char* text = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(text), 9), 0xCBF43926u);
}

TEST(PngWriter, DecodesBackToTheSamePixels) {
    // Rows where different filters win: a horizontal gradient (Sub), rows
    // repeated (Up), flat rows (None), noise, stripes and sparse areas.
    Raster r(203, 120, 0xFF0000FFu);
    std::mt19937 random(7);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            uint32_t& p = r.at(x, y);
            if (y < 20)
                p = uint32_t(random());
            else if (y < 40)
                p = 0xFF000000u | uint32_t(x * 3) << 8;
            else if (y < 60)
                p = 0xFF000000u | uint32_t(random() % 7 == 0 ? 0x5A : 0);
            else if (y < 80)
                p = r.at(x, 59);
            else if (y < 100)
                p = 0xFF000000u | (x < 100 ? uint32_t(x % 9) * 0x1C0000u : uint32_t(y % 5) * 0x30u);
            else if (x % 17 == 0)
                p = 0x80112233u;
        }
    std::set<int> types;
    ExpectSamePixels(Decode(EncodePng(r), &types), r);
    for (int type : {0, 1, 2}) EXPECT_TRUE(types.count(type)) << "no row uses filter " << type;
    Raster one(1, 1, 0x7F00FF00u);
    ExpectSamePixels(Decode(EncodePng(one)), one);
}

TEST(PngWriter, APlainPageIsSmall) {
    // A letter page at 100% with a few lines of ink: stored uncompressed it
    // was 1.9 MB.
    Raster page(612, 792, 0xFFFFFFFFu);
    for (int y = 100; y < 700; y += 12)
        for (int x = 72; x < 540; ++x)
            if ((x / 5 + y) % 3) page.at(x, y) = 0xFF000000u;
    const std::vector<uint8_t> png = EncodePng(page);
    EXPECT_LT(png.size(), 20000u);
    ExpectSamePixels(Decode(png), page);
}

TEST(PngWriter, RefusesAnEmptyImageAndAnUnwritablePath) {
    EXPECT_THROW(EncodePng(Raster()), HostError);
    EXPECT_THROW(WritePng(Raster(1, 1, 0), "/no/such/folder/x.png"), HostError);
}

}  // namespace
}  // namespace vellora
