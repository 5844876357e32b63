// SPDX-License-Identifier: AGPL-3.0-or-later
#include "backend/pdf/jpeg_rows.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace vellora::pdf {

namespace {

// libjpeg's state for one reading. Its errors jump back to `fail`; its
// warnings (corrupt or missing data) are counted, and any makes the reading
// give way to the caller's other means, which handle them as MuPDF does.
struct JpegReading {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    jpeg_source_mgr source;
    std::jmp_buf fail;
    long warnings = 0;
};

JpegReading* ReadingOf(j_common_ptr info)
{
    return static_cast<JpegReading*>(info->client_data);
}

void JpegError(j_common_ptr info)
{
    std::longjmp(ReadingOf(info)->fail, 1);
}

void JpegMessage(j_common_ptr info, int level)
{
    if (level < 0)
        ++ReadingOf(info)->warnings;
}

void JpegSourceNoop(j_decompress_ptr)
{
}

// The whole stream is in memory: more asked for is data that end early;
// an end of image is given, as MuPDF's filter does (and counted).
boolean JpegFill(j_decompress_ptr info)
{
    static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
    ++ReadingOf(reinterpret_cast<j_common_ptr>(info))->warnings;
    info->src->next_input_byte = kEnd;
    info->src->bytes_in_buffer = 2;
    return TRUE;
}

void JpegSkip(j_decompress_ptr info, long count)
{
    if (count <= 0)
        return;
    if (size_t(count) > info->src->bytes_in_buffer) {
        JpegFill(info);
        return;
    }
    info->src->next_input_byte += count;
    info->src->bytes_in_buffer -= size_t(count);
}

// The decoding itself, with MuPDF's settings. Nothing but plain values
// lives in this frame across the jump back from libjpeg.
bool Decode(JpegReading* reading, const JpegRows& jpeg, unsigned char* row, JpegRowTaker take,
            void* context)
{
    // Returns at the stream's start are skipped, as MuPDF's filter does.
    size_t skip = 0;
    while (skip < jpeg.length && (jpeg.data[skip] == '\n' || jpeg.data[skip] == '\r'))
        ++skip;
    reading->source.next_input_byte = jpeg.data + skip;
    reading->source.bytes_in_buffer = jpeg.length - skip;
    jpeg_decompress_struct* info = &reading->info;
    info->err = jpeg_std_error(&reading->errors);
    reading->errors.error_exit = JpegError;
    reading->errors.emit_message = JpegMessage;
    info->client_data = reading;
    if (setjmp(reading->fail)) {
        jpeg_destroy_decompress(info);
        return false;
    }
    jpeg_create_decompress(info);
    reading->source.init_source = JpegSourceNoop;
    reading->source.fill_input_buffer = JpegFill;
    reading->source.skip_input_data = JpegSkip;
    reading->source.resync_to_restart = jpeg_resync_to_restart;
    reading->source.term_source = JpegSourceNoop;
    info->src = &reading->source;
    bool done = false;
    if (jpeg_read_header(info, TRUE) == JPEG_HEADER_OK && info->num_components == 1 &&
        int(info->image_width) == jpeg.width && int(info->image_height) == jpeg.height) {
        info->out_color_space = JCS_GRAYSCALE;
        info->scale_num = 8u >> jpeg.l2;
        info->scale_denom = 8;
        jpeg_start_decompress(info);
        const int width = int(info->output_width);
        if (width == jpeg.outWidth && int(info->output_height) == jpeg.outHeight &&
            info->output_components == 1) {
            JSAMPROW into = row;
            while (reading->warnings == 0 && int(info->output_scanline) < jpeg.outHeight) {
                const int y = int(info->output_scanline);
                if (jpeg_read_scanlines(info, &into, 1) != 1)
                    break;
                if (!take(context, y, into, width))
                    break;
            }
            done = reading->warnings == 0 && int(info->output_scanline) == jpeg.outHeight;
        }
    }
    jpeg_destroy_decompress(info);
    return done;
}

}  // namespace

bool DecodeJpegRows(const JpegRows& jpeg, unsigned char* row, JpegRowTaker take, void* context)
{
    if (jpeg.l2 < 0 || jpeg.l2 > 3)
        return false;
    JpegReading reading{};
    return Decode(&reading, jpeg, row, take, context);
}

}  // namespace vellora::pdf
