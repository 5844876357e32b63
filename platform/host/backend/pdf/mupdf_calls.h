// The only place that calls into MuPDF's throwing API. Every function here
// is C-style: it keeps fz_try/fz_catch (setjmp/longjmp) to itself, has no
// C++ object alive while MuPDF may jump, and reports a failure as a false
// result with MuPDF's message in a MuError. The document class turns those
// into HostError.
#pragma once

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
// Null when MuPDF cannot make one.
fz_context* MuNewContext(MuLog* log);
void MuDropContext(fz_context* ctx);

struct MuDocInfo {
    int pageCount;
    int repaired;       // the cross-reference table was rebuilt
    int needsPassword;  // encrypted, and the empty password does not open it
    int encrypted;
    int mayEdit;        // the file's permissions allow changes
    int canSaveIncrementally;
};

// Opens a PDF file.
bool MuOpenDocument(fz_context* ctx, const char* path, pdf_document** out, MuDocInfo* info,
                    MuError* err);
void MuDropDocument(fz_context* ctx, pdf_document* doc);

// The object number of every page, in page order, found in one walk of the
// page tree. Later calls find a page by its number directly: MuPDF's own
// lookup is either a walk per page or, with its page map loaded, leaks a
// reference to every page it returns (1.21).
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

// Writes /CropBox on the page object itself.
bool MuSetCropBox(fz_context* ctx, pdf_document* doc, int pageObject, const float box[4],
                  MuError* err);

// The bounds of the page's marks in its user space (y up), or empty = 1 when
// it has none. See marks_device.h for what counts as a mark.
bool MuMarksBounds(fz_context* ctx, pdf_document* doc, int page, fz_rect* out, int* empty,
                   MuError* err);

// Renders the page into `rgba` (premultiplied R, G, B, A bytes; `area` of the
// device, `stride` bytes a row), which starts transparent: the clip
// quadrilateral (user space `clip` through `userToDevice`) is painted white
// and the page's content drawn inside it.
bool MuRenderPage(fz_context* ctx, pdf_document* doc, int page, fz_matrix userToDevice,
                  fz_rect clip, fz_irect area, unsigned char* rgba, int stride, MuError* err);

bool MuSaveDocument(fz_context* ctx, pdf_document* doc, const char* path, int incremental,
                    MuError* err);

struct MuBlankPage {
    float media[4];
    float crop[4];
    int hasCrop;
    int rotate;
};

// A new PDF file of blank pages.
bool MuWriteBlankDocument(fz_context* ctx, const MuBlankPage* pages, int count, const char* path,
                          MuError* err);

}  // namespace vellora::pdf
