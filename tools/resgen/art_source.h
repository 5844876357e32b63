// SPDX-License-Identifier: AGPL-3.0-or-later
// A picture drawn as text: one character a pixel, with a legend saying what
// each character stands for. The cursors and bitmaps of the module are kept
// this way so that a change to a glyph is a readable diff.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace resgen {

// Thrown with a message that names the file and line of the problem.
class ArtError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class ArtKind { Cursor, Bitmap };

struct Colour {
    uint8_t r = 0, g = 0, b = 0;
    bool transparent = false;  // cursors only: the screen shows through
    bool operator==(const Colour&) const = default;
};

struct Art {
    ArtKind kind = ArtKind::Bitmap;
    int width = 0;
    int height = 0;
    int hotX = 0;  // cursors
    int hotY = 0;
    int bitsPerPixel = 0;        // bitmaps: 1 or 4
    std::vector<Colour> pixels;  // row 0 at the top
};

// Reads a text-art source; `name` is used in messages.
Art ReadArt(const std::string& text, const std::string& name);

}  // namespace resgen
