// SPDX-License-Identifier: AGPL-3.0-or-later
// Where a document's pages come from. The host's model (documents, windows,
// views) talks only to this interface; it does not know whether the pages are
// an in-memory test document or a real PDF file.
#pragma once

#include "core/box_settings.h"
#include "core/host_error.h"
#include "render/raster.h"
#include "vx_types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vellora {

// Geometry of one page, in page space. Boxes are normalised (left < right,
// bottom < top) when read from a file; a crop box that was set is kept exactly.
struct PageSetup {
    FixedRect media{};
    std::optional<FixedRect> crop;  // none: the media box
    int rotation = 0;
    std::optional<FixedRect> bbox;  // none: the media box
};

enum class SaveMode { Incremental, Full };

class DocumentBackend {
public:
    virtual ~DocumentBackend() = default;

    virtual int pageCount() const = 0;
    virtual FixedRect mediaBox(int page) const = 0;
    // The media box when the page has no crop box.
    virtual FixedRect cropBox(int page) const = 0;
    // Multiples of 90 in 0..270; any other value as it stands.
    virtual int rotation(int page) const = 0;
    // The bounding box of the page's marks (for a PDF page, those it shows
    // inside its crop box); the media box (the crop box) for a blank page.
    virtual FixedRect boundingBox(int page) = 0;
    // What counts as ink in images from now on; boxes found before under
    // other settings are found again when next asked for.
    virtual void setInk(const InkSettings&) {}
    // The bounds of the page's marks anywhere on its media box, found as
    // for boundingBox() whatever the crop box; none for a page without any.
    virtual std::optional<FixedRect> marksOnMediaBox(int page) = 0;
    // Keeps the box exactly as given; cropBox() gives it back unchanged.
    virtual void setCropBox(int page, const FixedRect& box) = 0;
    // VX_PERMISSION_EDIT when the document may be changed and saved.
    virtual uint32_t permissions() const = 0;
    // The file is encrypted; it was damaged and repaired when it was opened.
    virtual bool encrypted() const { return false; }
    virtual bool repairedOnOpen() const { return false; }

    // Paints the page's content, clipped to `clip` (page space), onto the
    // raster through `toDevice`. The area inside the clip is painted white
    // first; nothing outside it is touched.
    virtual void render(int page, const Affine& toDevice, const FixedRect& clip, Raster& out) = 0;

    // The page's content inside `clip` as grey levels, one byte a device
    // pixel of a `width` x `height` picture, row after row (0 black, 255
    // white; white outside the clip): a rough rendering that shows where
    // the ink is, for pictures of many pages at once (one channel to
    // paint instead of four). By default the rendering above, in grey.
    virtual std::vector<uint8_t> renderGrey(int page, const Affine& toDevice, const FixedRect& clip, int width,
                                            int height) {
        Raster raster(width > 0 ? width : 0, height > 0 ? height : 0, 0xFFFFFFFFu);
        render(page, toDevice, clip, raster);
        std::vector<uint8_t> grey(raster.pixels.size());
        for (size_t i = 0; i < grey.size(); ++i) {
            const uint32_t p = raster.pixels[i], r = p & 0xFF, g = (p >> 8) & 0xFF, b = (p >> 16) & 0xFF;
            grey[i] = static_cast<uint8_t>((r * 299 + g * 587 + b * 114) / 1000);
        }
        return grey;
    }

    // Makes copies of the document as it was read, for other threads: each
    // shares nothing with this one or with the others, and renders and finds
    // marks as this one does (crop boxes as read; the caller clips). The
    // maker may be called on any thread, also after this backend is gone;
    // it throws HostError when the pages can no longer be had. Empty when
    // this backend makes none.
    using ReaderMaker = std::function<std::unique_ptr<DocumentBackend>()>;
    virtual ReaderMaker readerMaker() const { return {}; }

    // Writes the document to `path`: a new file next to it, renamed into
    // place, so a failure leaves `path` as it was. Throws HostError.
    virtual void save(const std::string& path, SaveMode mode) = 0;
    // Why the last save wrote the whole file although an update could have
    // been asked for (the file was repaired, say); empty after an append,
    // or a whole write of a file that could have been appended to.
    virtual std::string wholeFileReason() const { return std::string(); }
};

// True when this build reads and writes PDF files.
bool PdfSupportAvailable();

// What the opener knows it will ask of the document. A backend may start on
// the bounding boxes of every page while the file is still being opened.
enum class OpenFor { Anything, EveryBoundingBox };

// Opens a PDF file; an encrypted one with `password` when the empty one
// does not open it. Repairs are reported as one line each in `warnings`.
// `ink` says which pixels of the page's images are marks. Throws HostError
// naming the file and the problem.
std::unique_ptr<DocumentBackend> OpenPdfDocument(const std::string& path, std::vector<std::string>& warnings,
                                                 const std::string& password = "", OpenFor use = OpenFor::Anything,
                                                 const InkSettings& ink = {});

// The PDF library and its version ("MuPDF 1.21.1"); empty without one.
std::string PdfLibraryVersion();

// Pages the PDF backend has loaded (drawn or run for their marks) in this
// process; those found directly by their listed objects, not by a walk of
// the page tree (quadratic over a flat tree of many pages); and how often
// the PDF library read the whole page tree into its cache. Any thread.
struct PdfPageLoads {
    long loaded = 0;
    long direct = 0;
    long treeReads = 0;
};
PdfPageLoads PdfPagesLoaded();

// Writes a PDF of blank pages with the given geometry (crop box and rotation
// included) to `path`, atomically. Throws HostError.
void WriteBlankPdf(const std::vector<PageSetup>& pages, const std::string& path);

}  // namespace vellora
