// SPDX-License-Identifier: AGPL-3.0-or-later
// One-bit images read as the bits they hold give the box their decoded
// pixmap gives: random bilevel images of awkward sizes, both decode arrays,
// stencils, every reduction, several thresholds, and data that end early.
#include "image_fixture.h"

#include <random>
#include <string>

namespace {

// Rows of `w` one-bit pixels, each byte-aligned: mostly paper (bit `paper`)
// with blots of ink of random size, and scattered single pixels.
std::string Bits(int w, int h, int paper, unsigned seed)
{
    const size_t rowBytes = (size_t(w) + 7) / 8;
    std::string bits(rowBytes * size_t(h), char(paper ? 0xff : 0x00));
    std::mt19937 random(seed);
    auto set = [&](int x, int y) {
        unsigned char& byte =
            reinterpret_cast<unsigned char&>(bits[rowBytes * size_t(y) + size_t(x / 8)]);
        const unsigned char bit = static_cast<unsigned char>(0x80 >> (x % 8));
        byte = static_cast<unsigned char>(paper ? byte & ~bit : byte | bit);
    };
    for (int blot = 0; blot < 6; ++blot) {
        const int x0 = int(random() % unsigned(w));
        const int y0 = int(random() % unsigned(h));
        const int bw = 1 + int(random() % 9);
        const int bh = 1 + int(random() % 9);
        for (int y = y0; y < std::min(h, y0 + bh); ++y)
            for (int x = x0; x < std::min(w, x0 + bw); ++x)
                if (random() % 3 != 0)
                    set(x, y);
    }
    for (int dot = 0; dot < 10; ++dot)
        set(int(random() % unsigned(w)), int(random() % unsigned(h)));
    return bits;
}

// RunLengthDecode's encoding, literal runs only.
std::string RunLength(const std::string& data)
{
    std::string out;
    for (size_t at = 0; at < data.size(); at += 128) {
        const size_t n = std::min<size_t>(128, data.size() - at);
        out += char(n - 1);
        out += data.substr(at, n);
    }
    out += char(128);
    return out;
}

class PackedInk : public ImageFixture {
protected:
    void ExpectSame(fz_image* image, fz_matrix ctm, float strength, bool stencil, float threshold,
                    bool darkEdges, const std::string& what)
    {
        ExpectSameReadings(image, ctm, strength, stencil, threshold, darkEdges, what, [] {});
    }
};

TEST_F(PackedInk, GivesThePixmapsBoxForEveryReductionAndThreshold)
{
    // Sizes that leave partial blocks at the right and bottom, and one whose
    // rows end on a word.
    const int sizes[][2] = {{333, 251}, {64, 64}, {517, 123}};
    // Painted at 1 to 1/12 of their pixels a point: reduced by 1 to 8 or more.
    const float scales[] = {1.0f, 0.45f, 0.2f, 0.09f, 0.04f};
    const float thresholds[] = {0.1f, 0.25f, 0.4f, 0.7f, 0.9f};
    unsigned seed = 1;
    for (const auto& size : sizes) {
        const int w = size[0];
        const int h = size[1];
        for (int variant = 0; variant < 4; ++variant) {
            // Ink as 0 bits, or as 1 bits under /Decode [1 0]; a stencil
            // paints its 0 bits, or its 1 bits under /Decode [1 0].
            const bool stencil = variant >= 2;
            const bool inverted = variant % 2 == 1;
            const std::string bits = Bits(w, h, inverted ? 0 : 1, seed++);
            std::string dict = "/Width " + std::to_string(w) + " /Height " + std::to_string(h) +
                               " /BitsPerComponent 1" +
                               (stencil ? " /ImageMask true" : " /ColorSpace /DeviceGray") +
                               (inverted ? " /Decode [1 0]" : "");
            const bool runLength = seed % 2 == 0;
            fz_image* image = Load(dict + (runLength ? " /Filter /RunLengthDecode" : ""),
                                   runLength ? RunLength(bits) : bits);
            for (float scale : scales) {
                const fz_matrix ctm =
                    fz_make_matrix(w * scale, 0, 0, -h * scale, 10, h * scale + 10);
                for (float threshold : thresholds) {
                    const std::string what = std::to_string(w) + "x" + std::to_string(h) +
                                             " variant " + std::to_string(variant) + " scale " +
                                             std::to_string(scale) + " threshold " +
                                             std::to_string(threshold);
                    ExpectSame(image, ctm, 1.0f, stencil, threshold, false, what);
                    ExpectSame(image, ctm, 0.6f, stencil, threshold, true, what + " faint, edges");
                }
            }
            fz_drop_image(ctx_, image);
        }
    }
}

TEST_F(PackedInk, DataThatEndEarlyReadAsThePixmapPadsThem)
{
    const int w = 200;
    const int h = 160;
    std::string bits = Bits(w, h, 1, 99);
    bits.resize(bits.size() / 3);
    fz_image* image =
        Load("/Width 200 /Height 160 /BitsPerComponent 1 /ColorSpace /DeviceGray", bits);
    for (float scale : {1.0f, 0.3f})
        ExpectSame(image, fz_make_matrix(w * scale, 0, 0, h * scale, 0, 0), 1.0f, false, 0.25f,
                   false, "truncated, scale " + std::to_string(scale));
    fz_drop_image(ctx_, image);
}

}  // namespace
