// SPDX-License-Identifier: AGPL-3.0-or-later
// A JPEG's rows decoded by libjpeg one at a time, for a scan that needs no
// picture of the whole image. libjpeg reports failure by longjmp: the jump
// stays in jpeg_rows.cpp, and no C++ object is alive in a frame it leaves.
#pragma once

#include <cstddef>

namespace vellora::pdf {

struct JpegRows {
    const unsigned char* data;  // the compressed stream
    size_t length;
    int width, height;        // its samples, as the image says
    int l2;                   // decoded at 1/2^l2 (0 to 3)
    int outWidth, outHeight;  // what that gives, as the caller counts it
};

// Takes one decoded row (`width` samples); false stops the decoding.
using JpegRowTaker = bool (*)(void* context, int y, const unsigned char* row, int width);

// Gives every row of a one-component JPEG to `take`, decoded into `row`
// (at least outWidth + 16 bytes). False when libjpeg failed or warned
// (corrupt or missing data), the stream is not `width` x `height` samples
// of one component, the decoding is not outWidth x outHeight, or `take`
// stopped it: then nothing taken is to be trusted.
bool DecodeJpegRows(const JpegRows& jpeg, unsigned char* row, JpegRowTaker take, void* context);

}  // namespace vellora::pdf
