// The MuPDF document backend: geometry read once when the file is opened,
// bounding boxes found on first request, crop boxes written on the page
// objects, saves through a replacement file.
#include "backend/document_backend.h"
#include "backend/pdf/mu_context.h"
#include "backend/pdf/page_units.h"
#include "files/replacement_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <utility>

namespace vellora {

namespace {

using namespace vellora::pdf;

const FixedRect kLetter{0, 792 * VX_FIXED_ONE, 612 * VX_FIXED_ONE, 0};

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

// Why a path cannot be opened before MuPDF is asked, in plain words.
void CheckReadableFile(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        throw HostError(path + ": cannot open: " + std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        throw HostError(path + ": cannot open: it is a directory");
}

struct OpenedFile {
    pdf_document* doc = nullptr;
    MuDocInfo info{};
};

OpenedFile OpenWith(const MuContext& mu, const std::string& path)
{
    OpenedFile opened;
    MuError err{};
    if (!MuOpenDocument(mu.get(), path.c_str(), &opened.doc, &opened.info, &err))
        throw HostError(path + ": cannot be read as a PDF file: " + err.text);
    return opened;
}

// The page objects of an opened document, in page order.
std::vector<int> ListPages(const MuContext& mu, pdf_document* doc, int count, const std::string& path)
{
    std::vector<int> objects(size_t(count), 0);
    MuError err{};
    if (!MuListPages(mu.get(), doc, objects.data(), count, &err))
        throw HostError(path + ": cannot read the page tree: " + err.text);
    return objects;
}

class PdfDocument final : public DocumentBackend {
public:
    PdfDocument(const std::string& path, std::vector<std::string>& warnings) : path_(path)
    {
        CheckReadableFile(path);
        OpenedFile opened = OpenWith(mu_, path);
        doc_ = opened.doc;
        try {
            adopt(opened.info);
            objects_ = ListPages(mu_, doc_, fileCount_, path_);
            readGeometry(warnings);
            if (opened.info.repaired || mu_.log().count > 0)
                warnings.insert(warnings.begin(), repairNote(opened.info.repaired));
        } catch (...) {
            MuDropDocument(mu_.get(), doc_);
            throw;
        }
        mu_.clearLog();
    }

    ~PdfDocument() override { MuDropDocument(mu_.get(), doc_); }

    int pageCount() const override { return int(pages_.size()); }
    FixedRect mediaBox(int page) const override { return at(page).media; }
    FixedRect cropBox(int page) const override { return at(page).crop.value_or(at(page).media); }
    int rotation(int page) const override { return at(page).rotation; }

    FixedRect boundingBox(int page) override
    {
        Page& p = at(page);
        if (!p.bbox) {
            fz_rect r{};
            int empty = 0;
            MuError err{};
            if (!MuMarksBounds(mu_.get(), live(), page, &r, &empty, &err))
                throw HostError(pageName(page) + ": cannot read the page's content: " + err.text);
            p.bbox = empty ? p.media : ToFixedRectOutward(PdfRect{r.x0, r.y0, r.x1, r.y1});
        }
        return *p.bbox;
    }

    void setCropBox(int page, const FixedRect& box) override
    {
        Page& p = at(page);
        writeCropBox(page, box);
        p.crop = box;
        p.cropChanged = true;
    }

    uint32_t permissions() const override { return editable_ ? VX_PERMISSION_EDIT : 0u; }

    void render(int page, const Affine& toDevice, const FixedRect& clip, Raster& out) override;
    void save(const std::string& path, SaveMode mode) override;

private:
    struct Page {
        FixedRect media{};
        std::optional<FixedRect> crop;
        int rotation = 0;
        std::optional<FixedRect> bbox;
        bool cropChanged = false;  // set since the document's file was written
    };

    const Page& at(int page) const
    {
        if (page < 0 || page >= pageCount())
            throw HostError(path_ + ": no page " + std::to_string(page + 1));
        return pages_[size_t(page)];
    }
    Page& at(int page) { return const_cast<Page&>(std::as_const(*this).at(page)); }

    void writeCropBox(int page, const FixedRect& box)
    {
        const float values[4] = {ToWritablePoints(box.left), ToWritablePoints(box.bottom),
                                 ToWritablePoints(box.right), ToWritablePoints(box.top)};
        MuError err{};
        if (!MuSetCropBox(mu_.get(), live(), objects_[size_t(page)], values, &err))
            throw HostError(pageName(page) + ": cannot set the crop box: " + err.text);
    }

    void restoreAfterFailedSave();

    pdf_document* live() const
    {
        if (!doc_)
            throw HostError(path_ + ": the file could not be read again after a failed save");
        return doc_;
    }

    std::string pageName(int page) const { return path_ + ": page " + std::to_string(page + 1); }

    void adopt(const MuDocInfo& info)
    {
        if (info.needsPassword)
            throw HostError(path_ + ": encrypted; it cannot be opened without its password");
        if (info.pageCount < 1)
            throw HostError(path_ + ": the document has no pages");
        fileCount_ = info.pageCount;
        editable_ = info.mayEdit != 0;
        encrypted_ = info.encrypted != 0;
        incremental_ = info.canSaveIncrementally != 0 && !info.repaired;
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
                throw HostError(pageName(i) + ": cannot read the page: " + err.text);
            Page p;
            p.media = readBox(i, "media", g.hasMedia, g.media).value_or(kLetter);
            if (p.media.left == p.media.right || p.media.bottom == p.media.top || !g.hasMedia) {
                p.media = kLetter;
                ++withoutMedia;
            }
            p.crop = readBox(i, "crop", g.hasCrop, g.crop);
            p.rotation = NormaliseRotation(RotationFromNumber(g.rotate));
            pages_.push_back(p);
        }
        if (withoutMedia > 0)
            warnings.push_back(path_ + ": " + std::to_string(withoutMedia) +
                               (withoutMedia == 1 ? " page has" : " pages have") +
                               " no usable media box; taken as 612 x 792 (Letter)");
    }

    std::optional<FixedRect> readBox(int page, const char* name, int present, const float v[4]) const
    {
        if (!present)
            return std::nullopt;
        const auto box = ToFixedRect(RectOf(v));
        if (!box)
            throw HostError(pageName(page) + ": " + name + " box " + Describe(RectOf(v)) +
                            " lies outside the page coordinate range (-32768 to 32767.99998)");
        return box;
    }

    MuContext mu_;
    std::string path_;
    pdf_document* doc_ = nullptr;
    std::vector<int> objects_;  // page objects, in page order
    std::vector<Page> pages_;
    int fileCount_ = 0;
    bool editable_ = false;
    bool incremental_ = false;
    bool encrypted_ = false;
};

void PdfDocument::render(int page, const Affine& toDevice, const FixedRect& clip, Raster& out)
{
    at(page);
    const fz_matrix m{float(toDevice.a), float(toDevice.b), float(toDevice.c),
                      float(toDevice.d), float(toDevice.e), float(toDevice.f)};
    const fz_rect user = fz_make_rect(float(ToPoints(clip.left)), float(ToPoints(clip.bottom)),
                                      float(ToPoints(clip.right)), float(ToPoints(clip.top)));
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
    if (!MuRenderPage(mu_.get(), live(), page, m, user, area, rgba.data(), w * 4, &err))
        throw HostError(pageName(page) + ": cannot draw the page: " + err.text);

    // Premultiplied source over the raster; untouched where the source is clear.
    for (int y = 0; y < h; ++y) {
        const unsigned char* src = &rgba[size_t(y) * size_t(w) * 4];
        for (int x = 0; x < w; ++x, src += 4) {
            const uint32_t a = src[3];
            if (a == 0)
                continue;
            uint32_t& dst = out.at(area.x0 + x, area.y0 + y);
            uint32_t result = 0;
            for (int c = 0; c < 4; ++c) {
                const uint32_t under = (dst >> (8 * c)) & 0xFFu;
                const uint32_t over = c == 3 ? a : src[c];
                const uint32_t v = over + (under * (255u - a) + 127u) / 255u;
                result |= (v > 255u ? 255u : v) << (8 * c);
            }
            dst = result;
        }
    }
}

void PdfDocument::save(const std::string& path, SaveMode mode)
{
    if (!editable_)
        throw HostError(path_ + ": the document's permissions do not allow changes; it cannot be saved");
    // A repaired file has no trustworthy original to append to: it is
    // always written in full. An encrypted one is appended to whenever it
    // can be: MuPDF 1.21 rewrites some encrypted streams wrongly.
    const bool incremental = incremental_ && (mode == SaveMode::Incremental || encrypted_);
    ReplacementFile file(path);
    MuError err{};
    pdf_document* written = nullptr;
    MuDocInfo info{};
    std::string failure;
    if (!MuSaveDocument(mu_.get(), live(), file.tempPath().c_str(), incremental, &err))
        failure = std::string("cannot save: ") + err.text;
    // Carry on from the file just written: once saved, MuPDF's document
    // cannot be saved again correctly. Opening it is also the check that
    // what was written reads back.
    else if (!MuOpenDocument(mu_.get(), file.tempPath().c_str(), &written, &info, &err))
        failure = std::string("cannot save: the written file does not read back: ") + err.text;
    std::vector<int> objects;
    if (written) {
        try {
            if (info.pageCount != pageCount())
                throw HostError(path + ": cannot save: the written file has " +
                                std::to_string(info.pageCount) + " pages, not " +
                                std::to_string(pageCount()));
            objects = ListPages(mu_, written, info.pageCount, path);
            file.commit();
        } catch (const HostError&) {
            MuDropDocument(mu_.get(), written);
            restoreAfterFailedSave();
            throw;
        }
    }
    if (!failure.empty()) {
        restoreAfterFailedSave();
        throw HostError(path + ": " + failure);
    }
    mu_.clearLog();
    MuDropDocument(mu_.get(), doc_);
    doc_ = written;
    objects_ = std::move(objects);
    path_ = path;
    incremental_ = info.canSaveIncrementally != 0 && !info.repaired;
    for (Page& p : pages_)
        p.cropChanged = false;
}

// A failed save may leave MuPDF's document half-finalised; start again
// from the file and the crop boxes set since it was read.
void PdfDocument::restoreAfterFailedSave()
{
    MuDropDocument(mu_.get(), doc_);
    doc_ = nullptr;
    try {
        OpenedFile opened = OpenWith(mu_, path_);
        doc_ = opened.doc;
        objects_ = ListPages(mu_, doc_, opened.info.pageCount, path_);
        if (opened.info.pageCount != pageCount())
            throw HostError(path_ + ": the file has changed");
        for (int i = 0; i < pageCount(); ++i)
            if (pages_[size_t(i)].cropChanged)
                writeCropBox(i, *pages_[size_t(i)].crop);
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
                                                 std::vector<std::string>& warnings)
{
    return std::make_unique<PdfDocument>(path, warnings);
}

}  // namespace vellora
