// SPDX-License-Identifier: AGPL-3.0-or-later
// The only place that calls into MuPDF's throwing API. Every function here
// is C-style: it keeps fz_try/fz_catch (setjmp/longjmp) to itself, has no
// C++ object alive while MuPDF may jump, and reports a failure as a false
// result with MuPDF's message in a MuError. The document class turns those
// into HostError.
#pragma once

#include "backend/pdf/image_ink.h"
#include "backend/pdf/incremental_update.h"

#include <mupdf/fitz.h>
#include <mupdf/pdf.h>

namespace vellora::pdf {

struct MuError {
    char text[512];
};

// What MuPDF said while the log was attached: warnings, and the message of
// every error it raised (including ones it recovered from by itself).
struct MuLog {
    int count;
    char first[256];
};

// A context whose warnings and errors go to `log` instead of standard error.
// Null when MuPDF cannot make one. Each is used by one thread at a time and
// shares nothing with another (no locks: see bbox_lookahead.h).
fz_context* MuNewContext(MuLog* log);
void MuDropContext(fz_context* ctx);

struct MuDocInfo {
    int pageCount;
    int repaired;       // the cross-reference table was rebuilt
    int needsPassword;  // encrypted, and neither the empty nor the given password opens it
    int passwordGiven;  // a password was given
    int encrypted;
    int mayEdit;  // the file's permissions allow changes
    int canSaveIncrementally;
};

// Opens the PDF file `fd` reads, as its first `length` bytes (the document
// keeps a descriptor of its own, and reads nothing a later writer appends);
// an encrypted one with `password` (null or empty: the empty password).
bool MuOpenDocument(fz_context* ctx, int fd, int64_t length, const char* password,
                    pdf_document** out, MuDocInfo* info, MuError* err);
// The same from bytes in memory, which stay unchanged while it is open.
bool MuOpenMemoryDocument(fz_context* ctx, const unsigned char* data, size_t size,
                          const char* password, pdf_document** out, MuDocInfo* info, MuError* err);
void MuDropDocument(fz_context* ctx, pdf_document* doc);

// The objects the document holds now stay in memory; MuClearCache lets go
// of those read since that MuPDF holds nowhere else, to be read again when
// needed.
void MuMarkCache(fz_context* ctx, pdf_document* doc);
void MuClearCache(fz_context* ctx, pdf_document* doc);

// Takes the document's named destinations out of its catalog (in memory):
// pages loaded afterwards resolve no link through them. Resolving them
// reads the destination tree and much of the file with it, for nothing
// that shows on a page; for a document only read for its marks, never
// saved.
bool MuHideDestinations(fz_context* ctx, pdf_document* doc);

// Page numbers by page object, kept until MuForgetPageNumbers, so that the
// links pdf_load_page resolves find their target page without a walk of
// the page tree each (MuPDF 1.21; later ones keep them by themselves).
// True when there is something for MuForgetPageNumbers to let go of.
bool MuKeepPageNumbers(fz_context* ctx, pdf_document* doc);
void MuForgetPageNumbers(fz_context* ctx, pdf_document* doc);

// The object number of every page, in page order, found in one walk of the
// page tree. Later calls find a page by its number directly (see
// compat::LoadPage).
bool MuListPages(fz_context* ctx, pdf_document* doc, int* objects, int count, MuError* err);

// One page's geometry as the file states it, with inheritance resolved.
struct MuPageGeometry {
    float media[4];
    int hasMedia;  // a four-number array
    float crop[4];
    int hasCrop;
    double rotate;
};

bool MuReadPageGeometry(fz_context* ctx, pdf_document* doc, int pageObject, MuPageGeometry* out,
                        MuError* err);

// Writes /CropBox on the page object itself; a null `box` removes the
// page's own /CropBox. The changed object is marked to stay in memory
// (MuClearCache keeps it) unless *unmarked is set.
bool MuSetCropBox(fz_context* ctx, pdf_document* doc, int pageObject, const float box[4],
                  MuError* err, int* unmarked = nullptr);

// Bytes MuPDF made; the caller drops them with MuDropBytes.
struct MuBytes {
    fz_buffer* buffer;
    const unsigned char* data;
    size_t size;
};
void MuDropBytes(fz_context* ctx, MuBytes* bytes);

// What an appended update needs of the file as it was opened: the entry
// of every object number below `count` (MuXrefSize), the offset of the
// newest cross-reference section, and the trailer keys a new trailer
// repeats (/Root /Info /ID /Encrypt, as text).
int MuXrefSize(fz_context* ctx, pdf_document* doc);
bool MuReadXref(fz_context* ctx, pdf_document* doc, XrefEntry* entries, int count,
                int64_t* startxref, MuBytes* trailerKeys, MuError* err);

// An object stream's decoded (and decrypted) data, and its /First.
bool MuObjectStreamData(fz_context* ctx, pdf_document* doc, int num, MuBytes* data, int* first,
                        MuError* err);

// The object as MuPDF holds it, printed as a file would hold it under
// number `num` and generation `gen` (strings encrypted when the file is).
bool MuPrintObject(fz_context* ctx, pdf_document* doc, int num, int gen, MuBytes* text,
                   MuError* err);

// True when MuPDF rebuilt the cross-reference table (when opening, or later
// when it met an object that was not where the table said).
bool MuWasRepaired(fz_context* ctx, pdf_document* doc);
// Some object of the document lives in an object stream.
bool MuHasObjectStreams(fz_context* ctx, pdf_document* doc);

// The object numbers of a document's pages in page order, as MuListPages
// found them. Pages loaded with one are found by number, not by a walk of
// the page tree from its root, which costs a read of every page before
// them in a flat tree: quadratic in the page count over a document. Null
// for MuPDF's own lookup (which from 1.22 has a page-tree cache of its own).
struct MuPageList {
    const int* objects;
    int count;
};

// Pages loaded so far by this process (MuMarksBounds, MuRenderPage), those
// found by their listed objects through a page map rather than by a walk of
// the page tree, and how often MuPDF read the whole tree into its page-tree
// cache (once a document unless the tree changes). Any thread.
struct MuPageLoads {
    long loaded;
    long direct;
    long treeReads;
};
MuPageLoads MuPagesLoaded();

// The bounds of the page's marks in its user space (y up) inside the box the
// page shows (its crop box within its media box), or empty = 1 when it has
// none there. See marks_device.h for what counts as a mark.
bool MuMarksBounds(fz_context* ctx, pdf_document* doc, const MuPageList* pages, int page,
                   const InkOptions& ink, fz_rect* out, int* empty, MuError* err);

// Renders the page into `rgba` (premultiplied R, G, B, A bytes; `area` of the
// device, `stride` bytes a row), which starts transparent: the clip
// quadrilateral (user space `clip` through `userToDevice`) is painted white
// and the page's content drawn inside it.
bool MuRenderPage(fz_context* ctx, pdf_document* doc, const MuPageList* pages, int page,
                  fz_matrix userToDevice, fz_rect clip, fz_irect area, unsigned char* rgba,
                  int stride, MuError* err);

// Renders the page into `grey` (one byte a pixel, 0 black to 255 white,
// `width` x `height` device pixels from 0,0, `width` bytes a row), which
// starts white: the content inside the clip (user space, through
// `userToDevice`), in one channel.
bool MuRenderGrey(fz_context* ctx, pdf_document* doc, const MuPageList* pages, int page,
                  fz_matrix userToDevice, fz_rect clip, int width, int height, unsigned char* grey,
                  MuError* err);

// Writes the whole document through descriptor `fd`, from its current
// offset (which it does not close).
bool MuSaveDocument(fz_context* ctx, pdf_document* doc, int fd, MuError* err);

struct MuBlankPage {
    float media[4];
    float crop[4];
    int hasCrop;
    int rotate;
};

// A new PDF file of blank pages, written through descriptor `fd`.
bool MuWriteBlankDocument(fz_context* ctx, const MuBlankPage* pages, int count, int fd,
                          MuError* err);

}  // namespace vellora::pdf
