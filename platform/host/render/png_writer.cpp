#include "render/png_writer.h"

#include "files/atomic_file.h"

#include <array>

namespace vellora {

namespace {

const std::array<uint32_t, 256>& CrcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

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

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc) {
    const auto& table = CrcTable();
    uint32_t c = crc ^ 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) c = table[(c ^ data[i]) & 0xFFu] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

uint32_t Adler32(const uint8_t* data, size_t size) {
    uint32_t a = 1, b = 0;
    for (size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

std::vector<uint8_t> EncodePng(const Raster& raster) {
    if (raster.width <= 0 || raster.height <= 0) throw HostError("cannot write an empty image");
    // Filter byte 0, then the row's RGBA bytes.
    std::vector<uint8_t> rows;
    rows.reserve((size_t(raster.width) * 4 + 1) * size_t(raster.height));
    for (int y = 0; y < raster.height; ++y) {
        rows.push_back(0);
        for (int x = 0; x < raster.width; ++x) {
            uint32_t p = raster.at(x, y);
            for (int shift = 0; shift < 32; shift += 8) rows.push_back(static_cast<uint8_t>(p >> shift));
        }
    }
    std::vector<uint8_t> zlib{0x78, 0x01};
    for (size_t at = 0; at < rows.size() || at == 0;) {
        size_t n = std::min<size_t>(65535, rows.size() - at);
        bool last = at + n == rows.size();
        zlib.push_back(last ? 1 : 0);
        zlib.push_back(static_cast<uint8_t>(n & 0xFF));
        zlib.push_back(static_cast<uint8_t>(n >> 8));
        zlib.push_back(static_cast<uint8_t>(~n & 0xFF));
        zlib.push_back(static_cast<uint8_t>((~n >> 8) & 0xFF));
        zlib.insert(zlib.end(), rows.begin() + static_cast<std::ptrdiff_t>(at),
                    rows.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
        if (last) break;
    }
    Put32(zlib, Adler32(rows.data(), rows.size()));

    std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    Put32(header, static_cast<uint32_t>(raster.width));
    Put32(header, static_cast<uint32_t>(raster.height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, deflate, no filter, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", zlib);
    PutChunk(png, "IEND", {});
    return png;
}

void WritePng(const Raster& raster, const std::string& path) { WriteFileAtomically(path, EncodePng(raster)); }

}  // namespace vellora
