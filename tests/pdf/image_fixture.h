// SPDX-License-Identifier: AGPL-3.0-or-later
// A MuPDF context for the image-ink tests, images loaded from a PDF object
// as MuPDF loads them, and the comparison of two readings' answers.
#pragma once

#include "backend/pdf/image_ink.h"
#include "pdf_writer.h"

#include <mupdf/pdf.h>

#include <gtest/gtest.h>

#include <string>

class ImageFixture : public ::testing::Test {
protected:
    // `alloc`: MuPDF's allocator (null: its own).
    explicit ImageFixture(fz_alloc_context* alloc = nullptr) : alloc_(alloc)
    {
    }

    void SetUp() override
    {
        ctx_ = fz_new_context(alloc_, nullptr, FZ_STORE_UNLIMITED);
        fz_set_warning_callback(
            ctx_, [](void*, const char*) {}, nullptr);
        fz_set_error_callback(
            ctx_, [](void*, const char*) {}, nullptr);
    }
    void TearDown() override
    {
        pdf_drop_document(ctx_, doc_);
        fz_drop_buffer(ctx_, file_);
        fz_drop_context(ctx_);
    }

    // The image written as a PDF object and loaded as MuPDF loads images.
    fz_image* Load(const std::string& dict, const std::string& data)
    {
        samplegen::PdfWriter pdf;
        const int pages = pdf.add("<< /Type /Pages /Kids [] /Count 0 >>");
        const int image = pdf.reserve();
        pdf.setStream(image, "/Type /XObject /Subtype /Image " + dict, data);
        const std::string bytes =
            pdf.bytes(pdf.add("<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>"));
        pdf_drop_document(ctx_, doc_);
        fz_drop_buffer(ctx_, file_);
        file_ = fz_new_buffer_from_copied_data(
            ctx_, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        fz_stream* stm = fz_open_buffer(ctx_, file_);
        doc_ = pdf_open_document_with_stream(ctx_, stm);
        fz_drop_stream(ctx_, stm);
        pdf_obj* ref = pdf_new_indirect(ctx_, doc_, image, 0);
        fz_image* loaded = pdf_load_image(ctx_, doc_, ref);
        pdf_drop_obj(ctx_, ref);
        return loaded;
    }

    // The image read directly (one-bit images packed, greyscale JPEGs row by
    // row) and through a pixmap: the same answer and the same box.
    // `afterDirect` runs right after the direct reading.
    template <class After>
    void ExpectSameReadings(fz_image* image, fz_matrix ctm, float strength, bool stencil,
                            float threshold, bool darkEdges, const std::string& what,
                            After afterDirect)
    {
        vellora::pdf::InkOptions direct{threshold, darkEdges};
        vellora::pdf::InkOptions pixmap{threshold, darkEdges};
        pixmap.readPacked = false;
        fz_rect a = fz_empty_rect;
        fz_rect b = fz_empty_rect;
        // A tile decoded earlier at a finer resolution would be used instead.
        fz_empty_store(ctx_);
        const vellora::pdf::InkFound fa = vellora::pdf::FindImageInk(
            ctx_, image, ctm, 1.0f, strength, stencil, nullptr, direct, &a);
        afterDirect();
        const vellora::pdf::InkFound fb = vellora::pdf::FindImageInk(
            ctx_, image, ctm, 1.0f, strength, stencil, nullptr, pixmap, &b);
        ASSERT_EQ(int(fa), int(fb)) << what;
        if (fa == vellora::pdf::InkFound::Some) {
            EXPECT_EQ(a.x0, b.x0) << what;
            EXPECT_EQ(a.y0, b.y0) << what;
            EXPECT_EQ(a.x1, b.x1) << what;
            EXPECT_EQ(a.y1, b.y1) << what;
        }
    }

    fz_alloc_context* alloc_ = nullptr;
    fz_context* ctx_ = nullptr;
    pdf_document* doc_ = nullptr;
    fz_buffer* file_ = nullptr;
};
