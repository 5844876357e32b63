#include "render/png_writer.h"

#include <gtest/gtest.h>

#include <cstring>

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

// Undoes stored-block deflate, checking each block's length pair.
std::vector<uint8_t> Inflate(const std::vector<uint8_t>& z) {
    std::vector<uint8_t> out;
    EXPECT_EQ((z[0] * 256 + z[1]) % 31, 0);  // the zlib header check
    size_t at = 2;
    bool last = false;
    while (!last) {
        last = z[at] & 1;
        EXPECT_EQ(z[at] & 6, 0);  // stored
        uint16_t len = uint16_t(z[at + 1] | z[at + 2] << 8), nlen = uint16_t(z[at + 3] | z[at + 4] << 8);
        EXPECT_EQ(uint16_t(~len), nlen);
        out.insert(out.end(), z.begin() + at + 5, z.begin() + at + 5 + len);
        at += 5 + len;
    }
    EXPECT_EQ(Be32(z, at), Adler32(out.data(), out.size()));
    EXPECT_EQ(at + 4, z.size());
    return out;
}

TEST(PngWriter, KnownChecksums) {
    const char* text = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(text), 9), 0xCBF43926u);
    const char* wiki = "Wikipedia";
    EXPECT_EQ(Adler32(reinterpret_cast<const uint8_t*>(wiki), 9), 0x11E60398u);
}

TEST(PngWriter, DecodesBackToTheSamePixels) {
    // Wide enough that the image data needs several stored blocks.
    Raster r(200, 90, 0xFF0000FFu);
    r.at(0, 0) = 0x80112233u;
    r.at(199, 89) = 0xFFABCDEFu;
    std::vector<Chunk> chunks = ReadChunks(EncodePng(r));
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(Be32(chunks[0].data, 0), 200u);
    EXPECT_EQ(Be32(chunks[0].data, 4), 90u);
    EXPECT_EQ(chunks[0].data[8], 8);  // bit depth
    EXPECT_EQ(chunks[0].data[9], 6);  // RGBA
    EXPECT_EQ(chunks[1].type, "IDAT");
    EXPECT_EQ(chunks[2].type, "IEND");
    std::vector<uint8_t> rows = Inflate(chunks[1].data);
    ASSERT_EQ(rows.size(), size_t(90) * (200 * 4 + 1));
    EXPECT_EQ(rows[0], 0);  // no filter
    EXPECT_EQ(rows[1], 0x33);
    EXPECT_EQ(rows[2], 0x22);
    EXPECT_EQ(rows[3], 0x11);
    EXPECT_EQ(rows[4], 0x80);
    size_t last = rows.size() - 4;
    EXPECT_EQ(rows[last], 0xEF);
    EXPECT_EQ(rows[last + 1], 0xCD);
    EXPECT_EQ(rows[last + 2], 0xAB);
    EXPECT_EQ(rows[last + 3], 0xFF);
    EXPECT_EQ(rows[5], 0xFF);  // the fill's red
}

TEST(PngWriter, RefusesAnEmptyImageAndAnUnwritablePath) {
    EXPECT_THROW(EncodePng(Raster()), HostError);
    EXPECT_THROW(WritePng(Raster(1, 1, 0), "/no/such/folder/x.png"), HostError);
}

}  // namespace
}  // namespace vellora
