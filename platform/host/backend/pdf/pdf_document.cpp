// SPDX-License-Identifier: AGPL-3.0-or-later
// The MuPDF document backend: geometry read once when the file is opened,
// bounding boxes found on first request, crop boxes written on the page
// objects, saves through a replacement file. An incremental save writes
// its update itself (see incremental_update.h) and carries on with the
// document in memory.
#include "backend/document_backend.h"
#include "backend/pdf/bbox_run.h"
#include "backend/pdf/file_bytes.h"
#include "backend/pdf/incremental_update.h"
#include "backend/pdf/mu_context.h"
#include "backend/pdf/object_text.h"
#include "backend/pdf/page_units.h"
#include "backend/pdf/spelled_objects.h"
#include "files/file_descriptor.h"
#include "files/replacement_file.h"
#include "render/raster_draw.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <utility>

namespace vellora {

namespace {

using namespace vellora::pdf;

const FixedRect kLetter{0, 792 * VX_FIXED_ONE, 612 * VX_FIXED_ONE, 0};

// Far above any real document (docs/command-line.md).
constexpr int kMostPages = 1000000;

PdfRect RectOf(const float v[4])
{
    return PdfRect{v[0], v[1], v[2], v[3]};
}

std::string Describe(const PdfRect& r)
{
    char text[160];
    std::snprintf(text, sizeof text, "[%g %g %g %g]", r.x0, r.y0, r.x1, r.y1);
    return text;
}

bool SameRect(const FixedRect& a, const FixedRect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool SameCrop(const std::optional<FixedRect>& a, const std::optional<FixedRect>& b)
{
    return a.has_value() == b.has_value() && (!a || SameRect(*a, *b));
}

// The sides as /CropBox holds them: left, bottom, right, top.
void WritableBox(const FixedRect& box, float out[4])
{
    out[0] = ToWritablePoints(box.left);
    out[1] = ToWritablePoints(box.bottom);
    out[2] = ToWritablePoints(box.right);
    out[3] = ToWritablePoints(box.top);
}

// The file, opened once: MuPDF reads it through a copy of this descriptor, so
// the bytes an update is appended to are the bytes MuPDF read.
FileDescriptor OpenReadable(const std::string& path)
{
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw HostError(ErrorKind::InputFile, path + ": cannot open: " + std::strerror(errno));
    struct stat st {};
    if (fstat(fd.get(), &st) != 0)
        throw HostError(ErrorKind::InputFile, path + ": cannot open: " + std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        throw HostError(ErrorKind::InputFile, path + ": cannot open: it is a directory");
    return fd;
}

// The last bytes of the file's first `length`: what an update is appended
// after.
std::string TailOf(int fd, int64_t length)
{
    FileBytes bytes(fd, length, std::string());
    const int64_t n = std::min<int64_t>(length, 1024);
    try {
        return std::string(bytes.from(length - n, size_t(n)));
    } catch (const HostError&) {
        return std::string();
    }
}

bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// True when both names lead to one place, links followed; true too of a
// name whose file another program has replaced since.
bool SameName(const std::string& a, const std::string& b)
{
    std::error_code ea, eb;
    return a == b ||
           std::filesystem::weakly_canonical(a, ea) == std::filesystem::weakly_canonical(b, eb);
}

// "[l b r t]" with each side as the shortest text that reads back as the
// float MuPDF would hold.
std::string BoxText(const FixedRect& box)
{
    std::string text;
    for (Fixed side : {box.left, box.bottom, box.right, box.top}) {
        char number[64];
        const auto end = std::to_chars(number, number + sizeof number, ToWritablePoints(side),
                                       std::chars_format::fixed);
        text.append(text.empty() ? "[" : " ").append(number, end.ptr);
    }
    return text + "]";
}

// Where the file's newest complete update ends, which is what readers take
// for the file: bytes past it (an append that was killed half-way) are
// reached by no cross-reference, and the next update goes in their place.
// The whole file when it does not end so, or an object lies past that end.
int64_t EndOfNewestUpdate(int fd, const FileXref& xref, const std::string& path)
{
    // From the last object on: a linearized file's newest section is near
    // its start, and the end that names it after everything else.
    int64_t from = xref.startxref;
    for (const XrefEntry& e : xref.entries)
        if (e.type == 'n')
            from = std::max(from, e.ofs);
    constexpr size_t kWindow = size_t(1) << 20;
    constexpr size_t kOverlap = 256;
    FileBytes file(fd, xref.length, path);
    for (int64_t at = from; at >= 0 && at < xref.length; at += int64_t(kWindow - kOverlap)) {
        const std::string_view text = file.from(at, kWindow);
        const bool last = at + int64_t(text.size()) >= xref.length;
        if (const auto end = UpdateEnd(text, xref.startxref, last))
            return at + int64_t(*end);
        if (last)
            break;
    }
    return xref.length;
}

// The cross-reference data of the file MuPDF has open as `doc`, whose
// bytes `fd` reads; its length is where an update goes.
FileXref ReadFileXref(const MuContext& mu, pdf_document* doc, int fd, const std::string& path)
{
    FileXref xref;
    struct stat st {};
    if (fstat(fd, &st) != 0)
        throw HostError(ErrorKind::InputFile, path + ": cannot read: " + std::strerror(errno));
    xref.length = st.st_size;
    xref.size = MuXrefSize(mu.get(), doc);
    xref.entries.resize(size_t(xref.size));
    MuBytes keys{};
    MuError err{};
    if (!MuReadXref(mu.get(), doc, xref.entries.data(), xref.size, &xref.startxref, &keys, &err))
        throw HostError(ErrorKind::Damaged,
                        path + ": cannot read the cross-reference table: " + err.text);
    xref.trailerKeys = CopiedAndDropped(mu, keys);
    char head[32] = {};
    const ssize_t n = pread(fd, head, sizeof head - 1, xref.startxref);
    const char* at = head;
    while (at < head + (n > 0 ? n : 0) && std::strchr(" \t\r\n\f", *at) && *at)
        ++at;
    xref.stream = std::strncmp(at, "xref", 4) != 0;
    xref.length = EndOfNewestUpdate(fd, xref, path);
    return xref;
}

struct OpenedFile {
    pdf_document* doc = nullptr;
    MuDocInfo info{};
};

// The document as the first `length` bytes of `fd`.
OpenedFile OpenWith(const MuContext& mu, int fd, int64_t length, const std::string& path,
                    const std::string& password)
{
    OpenedFile opened;
    MuError err{};
    if (!MuOpenDocument(mu.get(), fd, length, password.c_str(), &opened.doc, &opened.info, &err))
        throw HostError(ErrorKind::Damaged, path + ": cannot be read as a PDF file: " + err.text);
    return opened;
}

// The page objects of an opened document, in page order.
std::vector<int> ListPages(const MuContext& mu, pdf_document* doc, int count,
                           const std::string& path)
{
    std::vector<int> objects(size_t(count), 0);
    MuError err{};
    if (!MuListPages(mu.get(), doc, objects.data(), count, &err))
        throw HostError(ErrorKind::Damaged, path + ": cannot read the page tree: " + err.text);
    return objects;
}

FixedRect Ordered(const FixedRect& r)
{
    return FixedRect{std::min(r.left, r.right), std::max(r.top, r.bottom),
                     std::max(r.left, r.right), std::min(r.top, r.bottom)};
}

// Of two ordered rectangles; empty ones come out with a side past its other.
FixedRect Intersect(const FixedRect& a, const FixedRect& b)
{
    return FixedRect{std::max(a.left, b.left), std::min(a.top, b.top), std::min(a.right, b.right),
                     std::max(a.bottom, b.bottom)};
}

// The box of the marks a page shows: inside its crop box and media box,
// where MuMarksBounds looked for them, exactly (MuPDF held the crop box as
// floats). A page that shows no marks answers the box it shows.
FixedRect ShownMarks(const PageMarks& marks, const FixedRect& media, const FixedRect& crop)
{
    const FixedRect c = Ordered(crop);
    FixedRect shown = Intersect(c, media);
    if (shown.left >= shown.right || shown.bottom >= shown.top)
        shown = c;
    if (marks.empty)
        return shown;
    const FixedRect found = Intersect(ToFixedRectOutward(PdfRect{marks.bounds.x0, marks.bounds.y0,
                                                                 marks.bounds.x1, marks.bounds.y1}),
                                      shown);
    return found.left < found.right && found.bottom < found.top ? found : shown;
}

class PdfDocument final : public DocumentBackend {
public:
    PdfDocument(const std::string& path, const std::string& password,
                std::vector<std::string>& warnings, OpenFor use, const InkSettings& ink)
        : ink_{float(ink.threshold / 100.0), ink.ignoreDarkEdges},
          path_(path),
          password_(password),
          source_(OpenReadable(path)),
          stamp_(StampOf(source_.get(), path))
    {
        tail_ = TailOf(source_.get(), stamp_.size);
        OpenedFile opened = OpenWith(mu_, source_.get(), stamp_.size, path, password_);
        doc_ = opened.doc;
        try {
            adopt(opened.info);
            // Workers start on the boxes while this thread reads the pages.
            if (use == OpenFor::EveryBoundingBox && !opened.info.repaired && fileCount_ > 1) {
                startLookahead(0);
                run_.started = run_.lookahead != nullptr;
            }
            objects_ = ListPages(mu_, doc_, fileCount_, path_);
            if (run_.lookahead)
                run_.lookahead->pagesListed(objects_);
            readGeometry(warnings);
            if (incremental_)
                xref_ = ReadFileXref(mu_, doc_, source_.get(), path_);
            if (opened.info.repaired || mu_.log().count > 0)
                warnings.insert(warnings.begin(), repairNote(opened.info.repaired));
            if (run_.lookahead) {
                // Repaired while reading the pages: the workers' documents
                // hold the file as it was.
                if (MuWasRepaired(mu_.get(), doc_))
                    run_.lookahead->stopFrom(0);
                letGoOfPageObjects();
            }
        } catch (...) {
            endRun();
            MuDropDocument(mu_.get(), doc_);
            throw;
        }
        mu_.clearLog();
    }

    ~PdfDocument() override
    {
        endRun();
        MuDropDocument(mu_.get(), doc_);
    }

    int pageCount() const override
    {
        return int(pages_.size());
    }
    FixedRect mediaBox(int page) const override
    {
        return at(page).media;
    }
    FixedRect cropBox(int page) const override
    {
        return at(page).crop.value_or(at(page).media);
    }
    int rotation(int page) const override
    {
        return at(page).rotation;
    }

    // Found again when the crop box changed since: only what the page shows
    // counts.
    FixedRect boundingBox(int page) override
    {
        Page& p = at(page);
        const FixedRect crop = cropBox(page);
        if (p.bbox && SameRect(p.bboxCrop, crop))
            return *p.bbox;
        const bool first = !p.bbox;
        if (first)
            startRun(page);
        std::optional<PageMarks> marks;
        if (run_.lookahead && first)
            marks = run_.lookahead->take(page);
        if (!marks)
            marks = marksHere(page);
        p.bbox = ShownMarks(*marks, p.media, crop);
        p.bboxCrop = crop;
        if (first && run_.lastBoxFound())
            endRun();
        return *p.bbox;
    }

    void setInk(const InkSettings& ink) override
    {
        const InkOptions next{float(ink.threshold / 100.0), ink.ignoreDarkEdges};
        if (next.threshold == ink_.threshold && next.ignoreDarkEdges == ink_.ignoreDarkEdges)
            return;
        // The workers find boxes under the settings their run began with.
        endRun();
        ink_ = next;
        for (Page& p : pages_)
            p.bbox.reset();
        run_.unknownBoxes = int(pages_.size());
    }

    std::optional<FixedRect> marksOnMediaBox(int page) override
    {
        const PageMarks marks = marksHere(page);
        if (marks.empty)
            return std::nullopt;
        const FixedRect media = Ordered(at(page).media);
        const FixedRect found =
            Intersect(ToFixedRectOutward(PdfRect{marks.bounds.x0, marks.bounds.y0, marks.bounds.x1,
                                                 marks.bounds.y1}),
                      media);
        if (found.left >= found.right || found.bottom >= found.top)
            return std::nullopt;
        return found;
    }

    ReaderMaker readerMaker() const override;

    void setCropBox(int page, const FixedRect& box) override
    {
        Page& p = at(page);
        if (run_.lookahead)
            run_.lookahead->invalidate(page);
        // The media box on a page that has no crop box is no change: the
        // page stays as the file has it.
        if (!p.fileCrop && SameRect(box, p.media)) {
            writeCropBox(page, nullptr);
            p.crop.reset();
        } else {
            writeCropBox(page, &box);
            p.crop = box;
        }
    }

    uint32_t permissions() const override
    {
        return editable_ ? VX_PERMISSION_EDIT : 0u;
    }
    bool encrypted() const override
    {
        return encrypted_;
    }
    bool repairedOnOpen() const override
    {
        return repairedOnOpen_;
    }

    void render(int page, const Affine& toDevice, const FixedRect& clip, Raster& out) override;
    std::vector<uint8_t> renderGrey(int page, const Affine& toDevice, const FixedRect& clip,
                                    int width, int height) override;
    void save(const std::string& path, SaveMode mode) override;
    std::string wholeFileReason() const override
    {
        return wholeReason_;
    }

private:
    struct Page {
        FixedRect media{};
        std::optional<FixedRect> crop;
        int rotation = 0;
        std::optional<FixedRect> bbox;
        FixedRect bboxCrop{};               // the crop box the bounding box was found inside
        std::optional<FixedRect> fileCrop;  // as the document's file has it, own or inherited
        bool changed() const
        {
            return !SameCrop(crop, fileCrop);
        }
    };

    const Page& at(int page) const
    {
        if (page < 0 || page >= pageCount())
            throw HostError(path_ + ": no page " + std::to_string(page + 1));
        return pages_[size_t(page)];
    }
    Page& at(int page)
    {
        return const_cast<Page&>(std::as_const(*this).at(page));
    }

    // Null removes the page's own crop box.
    void writeCropBox(int page, const FixedRect* box)
    {
        float values[4] = {};
        if (box)
            WritableBox(*box, values);
        MuError err{};
        int unmarked = run_.unmarked;
        const bool written = MuSetCropBox(mu_.get(), readableDoc(), objects_[size_t(page)],
                                          box ? values : nullptr, &err, &unmarked);
        run_.unmarked = unmarked != 0;
        if (!written)
            throw HostError(pageName(page) + ": cannot set the crop box: " + err.text);
        if (run_.clearAfterEdit())
            MuClearCache(mu_.get(), readableDoc());
    }

    void startRun(int page);
    void startLookahead(int first);
    // Reading the geometry read every page object (in a file with object
    // streams, most of the file); with workers running, the host's document
    // reads only what it needs. Only objects MuPDF holds nowhere else are
    // let go, and never a changed one (it may be the only copy of a crop
    // box).
    void letGoOfPageObjects()
    {
        if (run_.mayClearCache())
            MuClearCache(mu_.get(), readableDoc());
    }
    void endRun();
    PageMarks marksHere(int page);
    void saveIncrementally(const std::string& path);
    bool appendInPlace(const std::string& path, Update& update);
    void saveInFull(const std::string& path);
    SpelledObjects spelledObjects(FileBytes& file)
    {
        return SpelledObjects(
            mu_, [this] { return readableDoc(); }, file, encrypted_);
    }
    std::string pageObjectText(int page, SpelledObjects& objects);
    std::map<int, std::string> spelledPages();
    std::string respellingUpdate(pdf_document* written, int fd,
                                 const std::map<int, std::string>& spelled,
                                 const std::string& path);
    void restoreAfterFailedSave();
    void checkUnchanged(const std::string& path) const;
    void markSaved()
    {
        for (Page& p : pages_)
            p.fileCrop = p.crop;
    }

    pdf_document* readableDoc() const
    {
        if (!doc_)
            throw HostError(path_ + ": the file could not be read again after a failed save");
        return doc_;
    }

    std::string pageName(int page) const
    {
        return path_ + ": page " + std::to_string(page + 1);
    }

    void adopt(const MuDocInfo& info)
    {
        if (info.needsPassword && info.passwordGiven)
            throw HostError(ErrorKind::PasswordWrong, path_ + ": the password is wrong");
        if (info.needsPassword)
            throw HostError(ErrorKind::PasswordMissing,
                            path_ + ": encrypted; it cannot be opened without its password");
        if (info.pageCount < 1)
            throw HostError(ErrorKind::Damaged, path_ + ": the document has no pages");
        // Checked before the tree is walked: a small file can list one page
        // object millions of times, and each listing costs memory and time.
        if (info.pageCount > kMostPages)
            throw HostError(ErrorKind::Damaged, path_ + ": the page tree lists " +
                                                    std::to_string(info.pageCount) +
                                                    " pages, more than vellora opens (" +
                                                    std::to_string(kMostPages) + ")");
        fileCount_ = info.pageCount;
        editable_ = info.mayEdit != 0;
        encrypted_ = info.encrypted != 0;
        incremental_ = info.canSaveIncrementally != 0 && !info.repaired;
        repairedOnOpen_ = info.repaired != 0;
    }

    MuPageList pageList() const
    {
        return MuPageList{objects_.data(), int(objects_.size())};
    }

    std::string repairNote(bool repaired) const
    {
        const int n = mu_.log().count;
        if (repaired)
            return path_ + ": damaged; repaired on opening (" + std::to_string(n) +
                   (n == 1 ? " problem)" : " problems)");
        return path_ + ": " + std::to_string(n) + (n == 1 ? " problem" : " problems") +
               " found on opening, first: " + mu_.log().first;
    }

    // Every page's boxes and rotation, read now so that a box the host cannot
    // represent is refused when the file is opened, not later.
    void readGeometry(std::vector<std::string>& warnings)
    {
        int withoutMedia = 0;
        pages_.reserve(size_t(fileCount_));
        for (int i = 0; i < fileCount_; ++i) {
            MuPageGeometry g{};
            MuError err{};
            if (!MuReadPageGeometry(mu_.get(), doc_, objects_[size_t(i)], &g, &err))
                throw HostError(ErrorKind::Damaged,
                                pageName(i) + ": cannot read the page: " + err.text);
            Page p;
            p.media = readBox(i, "media", g.hasMedia, g.media).value_or(kLetter);
            if (p.media.left == p.media.right || p.media.bottom == p.media.top || !g.hasMedia) {
                p.media = kLetter;
                ++withoutMedia;
            }
            p.crop = readBox(i, "crop", g.hasCrop, g.crop);
            p.fileCrop = p.crop;
            p.rotation = NormaliseRotation(RotationFromNumber(g.rotate));
            pages_.push_back(p);
        }
        run_.unknownBoxes = fileCount_;
        if (withoutMedia > 0)
            warnings.push_back(path_ + ": " + std::to_string(withoutMedia) +
                               (withoutMedia == 1 ? " page has" : " pages have") +
                               " no usable media box; taken as 612 x 792 (Letter)");
    }

    std::optional<FixedRect> readBox(int page, const char* name, int present,
                                     const float v[4]) const
    {
        if (!present)
            return std::nullopt;
        const auto box = ToFixedRect(RectOf(v));
        if (!box)
            throw HostError(ErrorKind::Damaged,
                            pageName(page) + ": " + name + " box " + Describe(RectOf(v)) +
                                " lies outside the page coordinate range (-32768 to 32767.99998)");
        return box;
    }

    InkOptions ink_;
    MuContext mu_;
    std::string path_;
    std::string password_;     // opens the file and every file it is saved as
    FileDescriptor source_;    // the document's file, as last read or written
    FileStamp stamp_;          // and how it was then
    std::string tail_;         // its last bytes then
    std::string wholeReason_;  // why the last save wrote the whole file, if it had to
    bool repairedOnOpen_ = false;
    FileXref xref_;  // its cross-reference data, when it can be appended to
    pdf_document* doc_ = nullptr;
    std::vector<int> objects_;  // page objects, in page order
    std::vector<Page> pages_;
    BboxRun run_;
    int fileCount_ = 0;
    bool editable_ = false;
    bool incremental_ = false;
    bool encrypted_ = false;
};

// A copy opens the file again by its name, and must find the same file as
// this document last read or wrote: another one in its place is refused.
DocumentBackend::ReaderMaker PdfDocument::readerMaker() const
{
    const InkSettings ink{double(ink_.threshold) * 100.0, ink_.ignoreDarkEdges};
    return [path = path_, password = password_, ink,
            stamp = stamp_]() -> std::unique_ptr<DocumentBackend> {
        std::vector<std::string> warnings;
        auto copy = std::make_unique<PdfDocument>(path, password, warnings, OpenFor::Anything, ink);
        const FileStamp& now = copy->stamp_;
        if (now.device != stamp.device || now.inode != stamp.inode || now.size != stamp.size ||
            now.modified.tv_sec != stamp.modified.tv_sec ||
            now.modified.tv_nsec != stamp.modified.tv_nsec)
            throw HostError(ErrorKind::InputFile, path + ": the file changed since it was opened");
        return copy;
    };
}

namespace {

// A view's transform and a clip in page units, as MuPDF takes them.
fz_matrix MuMatrix(const Affine& t)
{
    return fz_matrix{float(t.a), float(t.b), float(t.c), float(t.d), float(t.e), float(t.f)};
}

fz_rect UserRect(const FixedRect& r)
{
    return fz_make_rect(float(ToPoints(r.left)), float(ToPoints(r.bottom)),
                        float(ToPoints(r.right)), float(ToPoints(r.top)));
}

}  // namespace

void PdfDocument::render(int page, const Affine& toDevice, const FixedRect& clip, Raster& out)
{
    at(page);
    const fz_matrix m = MuMatrix(toDevice);
    const fz_rect user = UserRect(clip);
    if (fz_is_empty_rect(user) || out.width <= 0 || out.height <= 0)
        return;
    fz_irect area = fz_round_rect(fz_transform_rect(user, m));
    area = fz_intersect_irect(area, fz_make_irect(0, 0, out.width, out.height));
    if (fz_is_empty_irect(area))
        return;
    const int w = area.x1 - area.x0;
    const int h = area.y1 - area.y0;
    std::vector<unsigned char> rgba(size_t(w) * size_t(h) * 4);
    MuError err{};
    const MuPageList pages = pageList();
    if (!MuRenderPage(mu_.get(), readableDoc(), &pages, page, m, user, area, rgba.data(), w * 4,
                      &err))
        throw HostError(pageName(page) + ": cannot draw the page: " + err.text);

    CompositeOver(out, area.x0, area.y0, rgba.data(), w, h);
}

std::vector<uint8_t> PdfDocument::renderGrey(int page, const Affine& toDevice,
                                             const FixedRect& clip, int width, int height)
{
    at(page);
    std::vector<uint8_t> grey(size_t(std::max(0, width)) * size_t(std::max(0, height)), 255);
    if (grey.empty())
        return grey;
    const fz_matrix m = MuMatrix(toDevice);
    const fz_rect user = UserRect(clip);
    if (fz_is_empty_rect(user))
        return grey;
    MuError err{};
    const MuPageList pages = pageList();
    if (!MuRenderGrey(mu_.get(), readableDoc(), &pages, page, m, user, width, height, grey.data(),
                      &err))
        throw HostError(pageName(page) + ": cannot draw the page: " + err.text);
    return grey;
}

// The look-ahead starts after the page asked for, which is found here
// meanwhile.
void PdfDocument::startRun(int page)
{
    if (run_.started)
        return;
    // Alone, this document resolves every link on every page; its page
    // objects are all read already.
    if (BboxThreads() < 2 || page + 1 >= pageCount()) {
        run_.started = true;
        run_.pageNumbers = MuKeepPageNumbers(mu_.get(), readableDoc());
        return;
    }
    run_.started = true;
    startLookahead(page + 1);
    letGoOfPageObjects();
}

// Workers from page `first` on, when there are cores for them; none
// otherwise, and the host's thread finds every box itself. Called when the
// document is opened (first 0) as well as on the first box asked for.
void PdfDocument::startLookahead(int first)
{
    const int threads = BboxThreads();
    const int count = fileCount_;
    if (threads < 2 || first >= count)
        return;
    LookaheadPlan plan;
    plan.fd = source_.get();
    plan.length = stamp_.size;  // as far as this document reads the file
    plan.password = password_;
    plan.pageCount = count;
    plan.pageObjects = objects_;
    plan.first = first;
    plan.known.resize(size_t(count));
    for (size_t i = 0; i < pages_.size(); ++i) {
        const Page& p = pages_[i];
        plan.known[i] = p.bbox.has_value();
        if (!p.changed())
            continue;
        CropEdit edit;
        edit.pageObject = objects_[i];
        edit.removed = !p.crop;
        if (p.crop)
            WritableBox(*p.crop, edit.box);
        plan.edits.push_back(edit);
    }
    plan.repaired = MuWasRepaired(mu_.get(), readableDoc());
    plan.objectStreams = MuHasObjectStreams(mu_.get(), readableDoc());
    plan.workers = threads;
    plan.ink = ink_;
    try {
        run_.lookahead = std::make_unique<BboxLookahead>(std::move(plan));
    } catch (const std::exception&) {
        // Without workers the host's thread finds every box itself.
    }
}

void PdfDocument::endRun()
{
    run_.lookahead.reset();
    if (run_.pageNumbers && doc_)
        MuForgetPageNumbers(mu_.get(), doc_);
    run_.pageNumbers = false;
    run_.started = false;
}

PageMarks PdfDocument::marksHere(int page)
{
    pdf_document* doc = readableDoc();
    const bool repairedBefore = MuWasRepaired(mu_.get(), doc);
    PageMarks marks;
    MuError err{};
    const MuPageList pages = pageList();
    const bool found =
        MuMarksBounds(mu_.get(), doc, &pages, page, ink_, &marks.bounds, &marks.empty, &err);
    // Repaired on the way: the workers' documents hold the file as it was.
    if (run_.lookahead && !repairedBefore && MuWasRepaired(mu_.get(), doc))
        run_.lookahead->stopFrom(page + 1);
    if (!found)
        throw HostError(ErrorKind::Damaged,
                        pageName(page) + ": cannot read the page's content: " + err.text);
    return marks;
}

void PdfDocument::save(const std::string& path, SaveMode mode)
{
    endRun();
    if (!editable_)
        throw HostError(
            ErrorKind::Permission,
            path_ + ": the document's permissions do not allow changes; it cannot be saved");
    // A repaired file has no trustworthy original to append to: it is
    // always written in full. An encrypted one is appended to whenever it
    // can be: MuPDF 1.21 rewrites some encrypted streams wrongly.
    const bool repairedLater = incremental_ && MuWasRepaired(mu_.get(), readableDoc());
    if (repairedLater) {
        incremental_ = false;
        // Repairing, MuPDF let go of the crop boxes set before.
        for (int i = 0; i < pageCount(); ++i)
            if (pages_[size_t(i)].changed())
                writeCropBox(i, pages_[size_t(i)].crop ? &*pages_[size_t(i)].crop : nullptr);
    }
    checkUnchanged(path);
    wholeReason_.clear();
    if (incremental_ && (mode == SaveMode::Incremental || encrypted_)) {
        saveIncrementally(path);
        return;
    }
    const std::string why = incremental_ ? std::string()
                            : repairedLater
                                ? "it was damaged, and repaired while its pages were read"
                            : repairedOnOpen_ ? "it was damaged, and repaired on opening"
                                              : "MuPDF cannot append an update to it";
    saveInFull(path);
    wholeReason_ = why;
}

// The page object as the file spells it with only /CropBox set anew; as
// MuPDF prints it where the file's text cannot serve.
std::string PdfDocument::pageObjectText(int page, SpelledObjects& objects)
{
    const int num = objects_[size_t(page)];
    const XrefEntry& e = xref_.entries[size_t(num)];
    const int gen = e.type == 'n' ? e.gen : 0;
    if (const auto dict = objects.dictionary(num, e))
        if (auto edited = WithKeyValue(*dict, "CropBox", BoxText(*pages_[size_t(page)].crop)))
            return *edited;
    MuBytes printed{};
    MuError err{};
    if (!MuPrintObject(mu_.get(), readableDoc(), num, gen, &printed, &err))
        throw HostError(ErrorKind::OutputFile, pageName(page) + ": cannot save: " + err.text);
    return CopiedAndDropped(mu_, printed);
}

// Before a whole write: the page objects as the file spells them, with the
// crop boxes as the pages have them now (MuPDF prints numbers as the floats
// it holds: 612.987654321 as 612.9877). A dictionary with strings in an
// encrypted file is left to MuPDF.
std::map<int, std::string> PdfDocument::spelledPages()
{
    std::map<int, std::string> spelled;
    // The file as appended to since it was opened, or as MuPDF repaired it.
    const std::vector<XrefEntry>* entries = &xref_.entries;
    std::vector<XrefEntry> repaired;
    if (!incremental_) {
        repaired.resize(size_t(MuXrefSize(mu_.get(), readableDoc())));
        int64_t startxref = 0;
        MuBytes keys{};
        MuError err{};
        if (!MuReadXref(mu_.get(), readableDoc(), repaired.data(), int(repaired.size()), &startxref,
                        &keys, &err))
            return spelled;
        CopiedAndDropped(mu_, keys);
        entries = &repaired;
    }
    FileBytes file(source_.get(), stamp_.size, path_);
    SpelledObjects objects = spelledObjects(file);
    for (int i = 0; i < pageCount(); ++i) {
        const int num = objects_[size_t(i)];
        if (num <= 0 || size_t(num) >= entries->size())
            continue;
        std::optional<std::string> dict = objects.dictionary(num, (*entries)[size_t(num)]);
        if (dict && encrypted_ && HoldsStrings(*dict))
            dict.reset();
        const Page& p = pages_[size_t(i)];
        if (dict && p.changed())
            dict = WithKeyValue(*dict, "CropBox", p.crop ? BoxText(*p.crop) : std::string());
        // A page object listed again is as its last listing left it.
        if (dict)
            spelled[num] = std::move(*dict);
        else
            spelled.erase(num);
    }
    return spelled;
}

// The update that gives the page objects of a file MuPDF wrote whole, open
// as `written` and read by `fd`, back their own spelling, where MuPDF
// changed a number of theirs; empty when it changed none. An object whose
// references would not lead to the same objects in the written file is
// left as MuPDF wrote it.
std::string PdfDocument::respellingUpdate(pdf_document* written, int fd,
                                          const std::map<int, std::string>& spelled,
                                          const std::string& path)
{
    // Object numbers are kept by MuPDF's whole write; the texts are only
    // given back where the pages are the same objects.
    if (ListPages(mu_, written, pageCount(), path) != objects_)
        return std::string();
    const FileXref xref = ReadFileXref(mu_, written, fd, path);
    FileBytes file(fd, xref.length, path);
    SpelledObjects objects = spelledObjects(file);
    const auto sameNumbers = [](std::string_view a, std::string_view b) {
        const auto x = NumbersIn(a), y = NumbersIn(b);
        for (size_t i = 0; i < x.size() && x.size() == y.size(); ++i)
            if (std::strtod(std::string(x[i]).c_str(), nullptr) !=
                std::strtod(std::string(y[i]).c_str(), nullptr))
                return false;
        return x.size() == y.size();
    };
    const auto sameTargets = [&xref](std::string_view text) {
        for (const auto& [num, gen] : ReferencesIn(text))
            if (num <= 0 || num >= xref.size || xref.entries[size_t(num)].type != 'n' ||
                xref.entries[size_t(num)].gen != gen)
                return false;
        return true;
    };
    // What each page object should read, as its last listing leaves it:
    // its own text, or, for a changed page without one, what MuPDF wrote
    // with the crop box set again (MuPDF lets go of changes it made before
    // repairing a file, and prints numbers short).
    std::map<int, std::optional<std::string>> wanted;
    for (int i = 0; i < pageCount(); ++i) {
        const int num = objects_[size_t(i)];
        const Page& p = pages_[size_t(i)];
        const auto own = spelled.find(num);
        if (own != spelled.end())
            wanted[num] = own->second;
        else if (!p.changed() || num <= 0 || num >= xref.size)
            wanted[num].reset();
        else if (const auto printed = objects.dictionary(num, xref.entries[size_t(num)]))
            wanted[num] = WithKeyValue(*printed, "CropBox", p.crop ? BoxText(*p.crop) : "");
        else
            wanted[num].reset();
    }
    std::vector<ChangedObject> changed;
    for (const auto& [num, text] : wanted) {
        if (!text || num <= 0 || num >= xref.size || xref.entries[size_t(num)].type != 'n')
            continue;
        const XrefEntry& e = xref.entries[size_t(num)];
        const auto printed = objects.dictionary(num, e);
        if (printed && !sameNumbers(*text, *printed) && sameTargets(*text))
            changed.push_back(ChangedObject{num, e.gen, *text});
    }
    return changed.empty() ? std::string() : MakeUpdate(xref, std::move(changed)).bytes;
}

void PdfDocument::saveIncrementally(const std::string& path)
{
    std::vector<ChangedObject> changed;
    {
        FileBytes file(source_.get(), xref_.length, path_);
        SpelledObjects objects = spelledObjects(file);
        // A page object listed more than once is written once, as its last
        // listing left it.
        std::vector<int> lastListing(size_t(xref_.size), -1);
        for (int i = 0; i < pageCount(); ++i)
            if (pages_[size_t(i)].changed())
                lastListing[size_t(objects_[size_t(i)])] = i;
        for (int i = 0; i < pageCount(); ++i)
            if (pages_[size_t(i)].changed() && lastListing[size_t(objects_[size_t(i)])] == i) {
                const int num = objects_[size_t(i)];
                const XrefEntry& e = xref_.entries[size_t(num)];
                changed.push_back(
                    ChangedObject{num, e.type == 'n' ? e.gen : 0, pageObjectText(i, objects)});
            }
    }
    Update update;
    if (changed.empty())
        update.after = xref_;
    else
        update = MakeUpdate(xref_, std::move(changed));
    if (appendInPlace(path, update))
        return;
    // Not appended: changed by another program since the check, or a file
    // this process may not write in place.
    checkUnchanged(path);

    ReplacementFile file(path);
    try {
        file.copyFrom(source_.get(), xref_.length);
    } catch (const HostError&) {
        checkUnchanged(path);  // the file cut short is what failed, not the write
        throw;
    }
    file.write(update.bytes);
    FileDescriptor written(dup(file.fd()));
    if (written.get() < 0)
        throw HostError(ErrorKind::OutputFile, path + ": cannot write: " + std::strerror(errno));
    checkUnchanged(path);
    file.commit();
    stamp_ = StampOf(written.get(), path);
    tail_ = TailOf(written.get(), stamp_.size);
    source_ = std::move(written);
    xref_ = std::move(update.after);
    path_ = path;
    markSaved();
}

// A save onto the document's own file, unchanged since it was read or
// written, appends to it instead of copying it.
bool PdfDocument::appendInPlace(const std::string& path, Update& update)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || uint64_t(st.st_dev) != stamp_.device ||
        uint64_t(st.st_ino) != stamp_.inode)
        return false;
    const size_t tailAt = update.bytes.empty() ? 0 : update.bytes.rfind("startxref\n");
    const std::string_view bytes(update.bytes);
    const std::string holding = "startxref\n" + std::to_string(xref_.startxref) + "\n%%EOF\n";
    const FileStamp after =
        AppendInPlace(path, stamp_, xref_.length, bytes.substr(0, tailAt), bytes.substr(tailAt),
                      update.bytes.empty() ? std::string_view() : holding);
    if (after.size < 0)
        return false;
    stamp_ = after;
    tail_ = TailOf(source_.get(), stamp_.size);
    xref_ = std::move(update.after);
    xref_.length = after.size;
    path_ = path;
    markSaved();
    return true;
}

void PdfDocument::saveInFull(const std::string& path)
{
    const std::map<int, std::string> spelled = spelledPages();
    ReplacementFile file(path);
    MuError err{};
    pdf_document* written = nullptr;
    MuDocInfo info{};
    std::string failure;
    // Carry on from the file just written: once saved, MuPDF's document
    // cannot be saved again correctly, and its objects have moved. Opening
    // it is also the check that what was written reads back.
    const auto readBack = [&] {
        if (MuOpenDocument(mu_.get(), file.fd(), StampOf(file.fd(), path).size, password_.c_str(),
                           &written, &info, &err))
            return true;
        failure = std::string("cannot save: the written file does not read back: ") + err.text;
        return false;
    };
    if (!MuSaveDocument(mu_.get(), readableDoc(), file.fd(), &err)) {
        checkUnchanged(path);  // a file cut short is why, not the save
        failure = std::string("cannot save: ") + err.text;
    } else if (readBack() && info.pageCount == pageCount()) {
        // Page objects whose numbers MuPDF rounded get their own text back
        // in an update after what it wrote.
        try {
            const std::string update = respellingUpdate(written, file.fd(), spelled, path);
            if (!update.empty()) {
                MuDropDocument(mu_.get(), written);
                written = nullptr;
                if (lseek(file.fd(), 0, SEEK_END) < 0)
                    throw HostError(ErrorKind::OutputFile,
                                    path + ": cannot write: " + std::strerror(errno));
                file.write(update);
                readBack();
            }
        } catch (const HostError&) {
            MuDropDocument(mu_.get(), written);
            restoreAfterFailedSave();
            throw;
        }
    }
    std::vector<int> objects;
    FileXref xref;
    FileDescriptor reader;
    FileStamp stamp;
    if (written) {
        try {
            if (info.pageCount != pageCount())
                throw HostError(ErrorKind::OutputFile,
                                path + ": cannot save: the written file has " +
                                    std::to_string(info.pageCount) + " pages, not " +
                                    std::to_string(pageCount()));
            objects = ListPages(mu_, written, info.pageCount, path);
            reader = FileDescriptor(dup(file.fd()));
            if (reader.get() < 0)
                throw HostError(ErrorKind::OutputFile,
                                path + ": cannot write: " + std::strerror(errno));
            stamp = StampOf(reader.get(), path);
            incremental_ = info.canSaveIncrementally != 0 && !info.repaired;
            if (incremental_)
                xref = ReadFileXref(mu_, written, reader.get(), path);
            // MuPDF read objects as it wrote them: from the file as read.
            checkUnchanged(path);
            file.commit();
        } catch (const HostError&) {
            MuDropDocument(mu_.get(), written);
            restoreAfterFailedSave();
            throw;
        }
    }
    if (!failure.empty()) {
        restoreAfterFailedSave();
        throw HostError(ErrorKind::OutputFile, path + ": " + failure);
    }
    mu_.clearLog();
    MuDropDocument(mu_.get(), doc_);
    doc_ = written;
    run_.unmarked = false;
    objects_ = std::move(objects);
    source_ = std::move(reader);
    stamp_ = stamp;
    tail_ = TailOf(source_.get(), stamp_.size);
    xref_ = std::move(xref);
    path_ = path;
    markSaved();
}

// Refuses, saying what another program did, when the document's file is no
// longer the one read: a save would put this stale view over that change,
// or be made of a file cut short. A file saved onto its own name must
// still have that name, too.
void PdfDocument::checkUnchanged(const std::string& path) const
{
    const FileStamp now = StampOf(source_.get(), path_);
    std::string what;
    if (now.size < stamp_.size)
        what = "cut the file short";
    else if (now.size > stamp_.size)
        what = "added to the file";
    else if (!SameTime(now.modified, stamp_.modified))
        what = "written to the file";
    else if (TailOf(source_.get(), stamp_.size) != tail_)
        what = "rewritten the end of the file";
    struct stat st {};
    if (what.empty() && SameName(path, path_)) {
        if (stat(path.c_str(), &st) != 0)
            what = "removed the file";
        else if (uint64_t(st.st_dev) != stamp_.device || uint64_t(st.st_ino) != stamp_.inode)
            what = "replaced the file";
    }
    if (!what.empty())
        throw HostError(ErrorKind::OutputFile, path_ + ": another program has " + what +
                                                   " since vellora read it; nothing written");
}

// A failed full save may leave MuPDF's document half-finalised; start again
// from the file and the crop boxes set since it was read.
void PdfDocument::restoreAfterFailedSave()
{
    MuDropDocument(mu_.get(), doc_);
    doc_ = nullptr;
    try {
        OpenedFile opened = OpenWith(mu_, source_.get(), stamp_.size, path_, password_);
        doc_ = opened.doc;
        run_.unmarked = false;
        objects_ = ListPages(mu_, doc_, opened.info.pageCount, path_);
        if (opened.info.pageCount != pageCount())
            throw HostError(path_ + ": the file has changed");
        for (int i = 0; i < pageCount(); ++i)
            if (pages_[size_t(i)].changed())
                writeCropBox(i, pages_[size_t(i)].crop ? &*pages_[size_t(i)].crop : nullptr);
    } catch (const HostError&) {
        MuDropDocument(mu_.get(), doc_);
        doc_ = nullptr;
    }
    mu_.clearLog();
}

}  // namespace

bool PdfSupportAvailable()
{
    return true;
}

std::unique_ptr<DocumentBackend> OpenPdfDocument(const std::string& path,
                                                 std::vector<std::string>& warnings,
                                                 const std::string& password, OpenFor use,
                                                 const InkSettings& ink)
{
    return std::make_unique<PdfDocument>(path, password, warnings, use, ink);
}

std::string PdfLibraryVersion()
{
    return "MuPDF " FZ_VERSION;
}

PdfPageLoads PdfPagesLoaded()
{
    const MuPageLoads loads = MuPagesLoaded();
    return PdfPageLoads{loads.loaded, loads.direct, loads.treeReads};
}

}  // namespace vellora
