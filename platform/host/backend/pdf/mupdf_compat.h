// SPDX-License-Identifier: AGPL-3.0-or-later
// What differs between the MuPDF releases the backend builds with (1.21 to
// 1.28), and every use of MuPDF's internals, in one place. The rest of the
// backend calls only what every one of those releases offers alike.
// Everything here throws like any MuPDF call, unless it says otherwise.
#pragma once

#include <mupdf/fitz.h>
#include <mupdf/pdf.h>

#include <cstdint>

// MU_VERSION_GE(1, 24, 0): built against MuPDF 1.24.0 or later.
#define MU_VERSION_NUMBER(major, minor, patch) ((major)*10000 + (minor)*100 + (patch))
#define MU_VERSION MU_VERSION_NUMBER(FZ_VERSION_MAJOR, FZ_VERSION_MINOR, FZ_VERSION_PATCH)
#define MU_VERSION_GE(major, minor, patch) (MU_VERSION >= MU_VERSION_NUMBER(major, minor, patch))

// The configure step refuses other versions with the same words.
#if !MU_VERSION_GE(1, 21, 0) || MU_VERSION_GE(1, 29, 0)
#error "the PDF backend needs MuPDF 1.21 to 1.28"
#endif

namespace vellora::pdf {

struct MuPageList;

namespace compat {

// The document has a security handler (is encrypted). Never throws.
bool IsEncrypted(pdf_document* doc);

// The offset of the newest cross-reference section, as the file states it.
// Never throws.
int64_t StartXref(pdf_document* doc);

// Object `num`'s cross-reference entry: its type ('n', 'o', 'f' or 0),
// generation (or index in its object stream) and offset (or stream number).
void XrefEntryOf(fz_context* ctx, pdf_document* doc, int num, char* type, int* gen, int64_t* ofs);

// Marks object `num` to stay in memory through MuClearCache when MuPDF
// holds `obj` as it; false when it holds another copy (nothing marked).
bool KeepObject(fz_context* ctx, pdf_document* doc, int num, pdf_obj* obj);

// Prints `obj` as object `num` `gen` of the file, its strings encrypted when
// the document is.
void PrintEncryptedObject(fz_context* ctx, fz_output* out, pdf_document* doc, pdf_obj* obj, int num,
                          int gen);

// A change of page objects that leaves the page tree as it is (a crop box):
// MuPDF keeps its page-tree cache through it. Returns what EndBoxEdit
// restores. Never throws.
int BeginBoxEdit(pdf_document* doc);
void EndBoxEdit(pdf_document* doc, int before);

// The object number of every page in page order, from one walk of the page
// tree (0 for a page that is not an object of its own).
void ListPageObjects(fz_context* ctx, pdf_document* doc, int* objects, int count);

// How a page was found: by its listed object, through a page map (1.21: the
// list lent to MuPDF as its map for the call; later: MuPDF's own page-tree
// cache), or by a walk of the page tree from its root.
struct PageLoad {
    int direct;    // found through a map
    int treeRead;  // the page-tree cache was (re)built for this page
};

// pdf_load_page, finding the page as directly as this MuPDF allows (see
// mupdf_compat.cpp). `pages` may be null.
pdf_page* LoadPage(fz_context* ctx, pdf_document* doc, const MuPageList* pages, int number,
                   PageLoad* how);

// Page numbers by page object, kept until ForgetPageNumbers, so that links
// find their target page without a walk of the page tree each. True when
// something is kept that ForgetPageNumbers must let go of.
bool KeepPageNumbers(fz_context* ctx, pdf_document* doc);
void ForgetPageNumbers(fz_context* ctx, pdf_document* doc);

// Device callbacks whose signatures changed: the end of a soft mask (1.24
// added its transfer function) and the start of a tile (1.27 added the
// document id). Installs on `dev` the pair that passes each on to the
// device Inner(dev) returns.
template <fz_device* (*Inner)(fz_device*)>
void PassMaskEndAndTilesOn(fz_device* dev)
{
#if MU_VERSION_GE(1, 24, 0)
    dev->end_mask = [](fz_context* ctx, fz_device* d, fz_function* tr) {
        fz_end_mask_tr(ctx, Inner(d), tr);
    };
#else
    dev->end_mask = [](fz_context* ctx, fz_device* d) { fz_end_mask(ctx, Inner(d)); };
#endif
#if MU_VERSION_GE(1, 27, 0)
    dev->begin_tile = [](fz_context* ctx, fz_device* d, fz_rect area, fz_rect view, float xstep,
                         float ystep, fz_matrix ctm, int id, int docId) {
        return fz_begin_tile_tid(ctx, Inner(d), area, view, xstep, ystep, ctm, id, docId);
    };
#else
    dev->begin_tile = [](fz_context* ctx, fz_device* d, fz_rect area, fz_rect view, float xstep,
                         float ystep, fz_matrix ctm, int id) {
        return fz_begin_tile_id(ctx, Inner(d), area, view, xstep, ystep, ctm, id);
    };
#endif
}

}  // namespace compat

}  // namespace vellora::pdf
