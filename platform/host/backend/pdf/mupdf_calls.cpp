// SPDX-License-Identifier: AGPL-3.0-or-later
#include "backend/pdf/mupdf_calls.h"

#include "backend/pdf/marks_device.h"
#include "backend/pdf/mupdf_compat.h"

#include <fcntl.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace vellora::pdf {

namespace {

// Text padding of the bbox device is one device unit; bounds are taken at
// this many device units a point, so the padding shrinks to 1/64 pt.
constexpr float kMarksScale = 64.0f;

void Note(void* user, const char* message)
{
    MuLog* log = static_cast<MuLog*>(user);
    if (log->count++ == 0)
        std::snprintf(log->first, sizeof log->first, "%s", message);
}

void Fail(fz_context* ctx, MuError* err)
{
    std::snprintf(err->text, sizeof err->text, "%s", fz_caught_message(ctx));
}

void FailWith(MuError* err, const char* text)
{
    std::snprintf(err->text, sizeof err->text, "%s", text);
}

// MuPDF's page transform maps user space to its own page space (y down,
// origin at the top left of the visible box, rotated, scaled by
// /UserUnit); content run through its inverse lands back in user space.
fz_matrix UserSpaceFor(fz_context* ctx, pdf_page* page)
{
    fz_rect box;
    fz_matrix pageCtm;
    pdf_page_transform(ctx, page, &box, &pageCtm);
    return fz_invert_matrix(pageCtm);
}

}  // namespace

fz_context* MuNewContext(MuLog* log)
{
    fz_context* ctx = fz_new_context(nullptr, nullptr, FZ_STORE_DEFAULT);
    if (!ctx)
        return nullptr;
    fz_set_warning_callback(ctx, Note, log);
    fz_set_error_callback(ctx, Note, log);
    return ctx;
}

void MuDropContext(fz_context* ctx)
{
    fz_drop_context(ctx);
}

namespace {

// Throws like any MuPDF call.
void Authenticate(fz_context* ctx, pdf_document* doc, const char* password, MuDocInfo* info)
{
    info->encrypted = compat::IsEncrypted(doc);
    info->needsPassword = pdf_needs_password(ctx, doc);
    info->passwordGiven = password != nullptr && *password != '\0';
    // Tried even where no password is needed: the owner's lifts the
    // restrictions. 4 is MuPDF's bit for the owner password.
    const int granted = info->passwordGiven ? pdf_authenticate_password(ctx, doc, password) : 0;
    if (info->needsPassword && info->passwordGiven)
        info->needsPassword = granted == 0;
    else if (info->passwordGiven && granted == 0)
        pdf_authenticate_password(ctx, doc, "");  // a failed try leaves MuPDF's keys unset
    if (!info->needsPassword) {
        info->pageCount = pdf_count_pages(ctx, doc);
        info->mayEdit = (granted & 4) != 0 || pdf_has_permission(ctx, doc, FZ_PERMISSION_EDIT);
    }
    info->repaired = pdf_was_repaired(ctx, doc);
    info->canSaveIncrementally = pdf_can_be_saved_incrementally(ctx, doc);
}

}  // namespace

namespace {

// A file read through its own descriptor with pread, a window of it at a
// time: MuPDF's own file stream reads 4 KB after every seek, two system
// calls for each object it looks up. There are two windows, and a seek
// outside both reads into the one used longer ago: after an incremental
// update, every page object lies in the update at the end of the file and
// its content near the start, and one window would be read again twice a
// page (figures in docs/benchmarks.md, "Measurements behind the PDF
// backend's design").
struct FileWindow {
    int64_t start;  // the file offset of bytes[0]
    size_t held;    // bytes read into it
    unsigned char bytes[64 * 1024];
};

struct WindowedFile {
    int fd;
    int64_t end;  // the file ends here for the stream, whatever it becomes
    int current;  // the window the stream reads from
    FileWindow windows[2];
};

int NextWindow(fz_context* ctx, fz_stream* stm, size_t)
{
    WindowedFile* f = static_cast<WindowedFile*>(stm->state);
    FileWindow& w = f->windows[f->current];
    const int64_t left = f->end - stm->pos;
    const size_t want = left <= 0                        ? 0
                        : left < int64_t(sizeof w.bytes) ? size_t(left)
                                                         : sizeof w.bytes;
    ssize_t n = 0;
    do
        n = want == 0 ? 0 : pread(f->fd, w.bytes, want, stm->pos);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        fz_throw(ctx, FZ_ERROR_GENERIC, "read error: %s", std::strerror(errno));
    w.start = stm->pos;
    w.held = size_t(n);
    stm->rp = w.bytes;
    stm->wp = w.bytes + n;
    stm->pos += n;
    if (n == 0)
        return EOF;
    return *stm->rp++;
}

// fz_seek has made a relative offset absolute already.
void SeekWindow(fz_context*, fz_stream* stm, int64_t offset, int whence)
{
    WindowedFile* f = static_cast<WindowedFile*>(stm->state);
    if (whence == SEEK_END)
        offset += f->end;
    if (offset < 0)
        offset = 0;
    for (const int i : {f->current, 1 - f->current}) {
        FileWindow& w = f->windows[i];
        if (w.held > 0 && offset >= w.start && offset <= w.start + int64_t(w.held)) {
            f->current = i;
            stm->rp = w.bytes + (offset - w.start);
            stm->wp = w.bytes + w.held;
            stm->pos = w.start + int64_t(w.held);
            return;
        }
    }
    f->current = 1 - f->current;
    FileWindow& w = f->windows[f->current];
    w.start = offset;
    w.held = 0;
    stm->rp = stm->wp = w.bytes;
    stm->pos = offset;
}

void DropWindow(fz_context* ctx, void* state)
{
    WindowedFile* f = static_cast<WindowedFile*>(state);
    close(f->fd);
    fz_free(ctx, f);
}

// The stream owns a duplicate of `fd`, so that the caller may close its own.
fz_stream* OpenWindowedFile(fz_context* ctx, int fd, int64_t length)
{
    const int own = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        fz_throw(ctx, FZ_ERROR_GENERIC, "cannot read the file: %s", std::strerror(errno));
    WindowedFile* f = nullptr;
    fz_try(ctx) f = static_cast<WindowedFile*>(fz_malloc(ctx, sizeof(WindowedFile)));
    fz_catch(ctx)
    {
        close(own);
        fz_rethrow(ctx);
    }
    f->fd = own;
    f->end = length;
    f->current = 0;
    for (FileWindow& w : f->windows) {
        w.start = 0;
        w.held = 0;
    }
    fz_stream* stm = fz_new_stream(ctx, f, NextWindow, DropWindow);
    stm->seek = SeekWindow;
    return stm;
}

}  // namespace

bool MuOpenDocument(fz_context* ctx, int fd, int64_t length, const char* password,
                    pdf_document** out, MuDocInfo* info, MuError* err)
{
    pdf_document* doc = nullptr;
    fz_stream* stream = nullptr;
    std::memset(info, 0, sizeof *info);
    fz_var(doc);
    fz_var(stream);
    fz_try(ctx)
    {
        stream = OpenWindowedFile(ctx, fd, length);
        doc = pdf_open_document_with_stream(ctx, stream);
        Authenticate(ctx, doc, password, info);
    }
    fz_always(ctx) fz_drop_stream(ctx, stream);
    fz_catch(ctx)
    {
        pdf_drop_document(ctx, doc);
        Fail(ctx, err);
        return false;
    }
    *out = doc;
    return true;
}

bool MuOpenMemoryDocument(fz_context* ctx, const unsigned char* data, size_t size,
                          const char* password, pdf_document** out, MuDocInfo* info, MuError* err)
{
    pdf_document* doc = nullptr;
    fz_stream* stream = nullptr;
    std::memset(info, 0, sizeof *info);
    fz_var(doc);
    fz_var(stream);
    fz_try(ctx)
    {
        stream = fz_open_memory(ctx, data, size);
        doc = pdf_open_document_with_stream(ctx, stream);
        Authenticate(ctx, doc, password, info);
    }
    fz_always(ctx) fz_drop_stream(ctx, stream);
    fz_catch(ctx)
    {
        pdf_drop_document(ctx, doc);
        Fail(ctx, err);
        return false;
    }
    *out = doc;
    return true;
}

void MuDropDocument(fz_context* ctx, pdf_document* doc)
{
    pdf_drop_document(ctx, doc);
}

void MuMarkCache(fz_context* ctx, pdf_document* doc)
{
    pdf_mark_xref(ctx, doc);
}

void MuClearCache(fz_context* ctx, pdf_document* doc)
{
    pdf_clear_xref_to_mark(ctx, doc);
}

bool MuHideDestinations(fz_context* ctx, pdf_document* doc)
{
    fz_try(ctx)
    {
        pdf_obj* root = pdf_dict_get(ctx, pdf_trailer(ctx, doc), PDF_NAME(Root));
        pdf_dict_del(ctx, root, PDF_NAME(Dests));
        if (pdf_obj* names = pdf_dict_get(ctx, root, PDF_NAME(Names)))
            pdf_dict_del(ctx, names, PDF_NAME(Dests));
    }
    fz_catch(ctx) return false;
    return true;
}

bool MuKeepPageNumbers(fz_context* ctx, pdf_document* doc)
{
    bool kept = false;
    fz_var(kept);
    fz_try(ctx) kept = compat::KeepPageNumbers(ctx, doc);
    fz_catch(ctx) return false;
    return kept;
}

void MuForgetPageNumbers(fz_context* ctx, pdf_document* doc)
{
    compat::ForgetPageNumbers(ctx, doc);
}

namespace {

int ReadRect(fz_context* ctx, pdf_obj* array, float out[4])
{
    if (!pdf_is_array(ctx, array) || pdf_array_len(ctx, array) != 4)
        return 0;
    for (int i = 0; i < 4; ++i) {
        pdf_obj* n = pdf_array_get(ctx, array, i);
        if (!pdf_is_number(ctx, n))
            return 0;
        out[i] = pdf_to_real(ctx, n);
    }
    return 1;
}

// Throws like any MuPDF call.
void PutBox(fz_context* ctx, pdf_obj* dict, pdf_obj* key, const float box[4])
{
    pdf_obj* array = pdf_dict_put_array(ctx, dict, key, 4);
    for (int i = 0; i < 4; ++i)
        pdf_array_push_real(ctx, array, box[i]);
}

}  // namespace

bool MuListPages(fz_context* ctx, pdf_document* doc, int* objects, int count, MuError* err)
{
    fz_try(ctx)
    {
        if (pdf_count_pages(ctx, doc) != count)
            fz_throw(ctx, FZ_ERROR_GENERIC, "the page count changed while reading the page tree");
        compat::ListPageObjects(ctx, doc, objects, count);
    }
    fz_catch(ctx)
    {
        Fail(ctx, err);
        return false;
    }
    for (int i = 0; i < count; ++i)
        if (objects[i] <= 0) {
            FailWith(err, "a page that is not an object of its own");
            return false;
        }
    return true;
}

bool MuReadPageGeometry(fz_context* ctx, pdf_document* doc, int pageObject, MuPageGeometry* out,
                        MuError* err)
{
    std::memset(out, 0, sizeof *out);
    pdf_obj* obj = nullptr;
    fz_var(obj);
    fz_try(ctx)
    {
        obj = pdf_load_object(ctx, doc, pageObject);
        out->hasMedia =
            ReadRect(ctx, pdf_dict_get_inheritable(ctx, obj, PDF_NAME(MediaBox)), out->media);
        out->hasCrop =
            ReadRect(ctx, pdf_dict_get_inheritable(ctx, obj, PDF_NAME(CropBox)), out->crop);
        pdf_obj* rotate = pdf_dict_get_inheritable(ctx, obj, PDF_NAME(Rotate));
        out->rotate = pdf_is_int(ctx, rotate) ? double(pdf_to_int64(ctx, rotate))
                                              : double(pdf_to_real(ctx, rotate));
    }
    fz_always(ctx) pdf_drop_obj(ctx, obj);
    fz_catch(ctx)
    {
        Fail(ctx, err);
        return false;
    }
    return true;
}

bool MuSetCropBox(fz_context* ctx, pdf_document* doc, int pageObject, const float box[4],
                  MuError* err, int* unmarked)
{
    pdf_obj* obj = nullptr;
    fz_var(obj);
    const int edit = compat::BeginBoxEdit(doc);
    fz_try(ctx)
    {
        obj = pdf_load_object(ctx, doc, pageObject);
        if (box)
            PutBox(ctx, obj, PDF_NAME(CropBox), box);
        else
            pdf_dict_del(ctx, obj, PDF_NAME(CropBox));
        // The changed object is the only copy of the change.
        if (!compat::KeepObject(ctx, doc, pageObject, obj) && unmarked)
            *unmarked = 1;
    }
    fz_always(ctx)
    {
        compat::EndBoxEdit(doc, edit);
        pdf_drop_obj(ctx, obj);
    }
    fz_catch(ctx)
    {
        Fail(ctx, err);
        return false;
    }
    return true;
}

void MuDropBytes(fz_context* ctx, MuBytes* bytes)
{
    fz_drop_buffer(ctx, bytes->buffer);
    *bytes = MuBytes{};
}

namespace {

void TakeBytes(fz_context* ctx, fz_buffer* buffer, MuBytes* out)
{
    out->buffer = buffer;
    out->size = fz_buffer_storage(ctx, buffer, const_cast<unsigned char**>(&out->data));
}

}  // namespace

int MuXrefSize(fz_context* ctx, pdf_document* doc)
{
    int size = pdf_xref_len(ctx, doc);
    fz_try(ctx)
    {
        const int stated = pdf_dict_get_int(ctx, pdf_trailer(ctx, doc), PDF_NAME(Size));
        if (stated > size)
            size = stated;
    }
    fz_catch(ctx)
    {
    }
    return size;
}

bool MuReadXref(fz_context* ctx, pdf_document* doc, XrefEntry* entries, int count,
                int64_t* startxref, MuBytes* trailerKeys, MuError* err)
{
    fz_buffer* buffer = nullptr;
    fz_output* out = nullptr;
    fz_var(buffer);
    fz_var(out);
    *trailerKeys = MuBytes{};
    fz_try(ctx)
    {
        const int known = pdf_xref_len(ctx, doc);
        for (int i = 0; i < count && i < known; ++i) {
            XrefEntry& mine = entries[i];
            int gen = 0;
            compat::XrefEntryOf(ctx, doc, i, &mine.type, &gen, &mine.ofs);
            mine.gen = uint16_t(gen);
        }
        *startxref = compat::StartXref(doc);
        buffer = fz_new_buffer(ctx, 256);
        out = fz_new_output_with_buffer(ctx, buffer);
        pdf_obj* trailer = pdf_trailer(ctx, doc);
        pdf_obj* const keys[] = {PDF_NAME(Root), PDF_NAME(Info), PDF_NAME(ID), PDF_NAME(Encrypt)};
        for (pdf_obj* key : keys) {
            pdf_obj* value = pdf_dict_get(ctx, trailer, key);
            if (!value)
                continue;
            fz_write_printf(ctx, out, "/%s ", pdf_to_name(ctx, key));
            pdf_print_obj(ctx, out, value, 1, 0);
            fz_write_string(ctx, out, " ");
        }
        fz_close_output(ctx, out);
    }
    fz_always(ctx) fz_drop_output(ctx, out);
    fz_catch(ctx)
    {
        fz_drop_buffer(ctx, buffer);
        Fail(ctx, err);
        return false;
    }
    TakeBytes(ctx, buffer, trailerKeys);
    return true;
}

bool MuObjectStreamData(fz_context* ctx, pdf_document* doc, int num, MuBytes* data, int* first,
                        MuError* err)
{
    fz_buffer* buffer = nullptr;
    pdf_obj* stream = nullptr;
    fz_var(buffer);
    fz_var(stream);
    *data = MuBytes{};
    fz_try(ctx)
    {
        stream = pdf_load_object(ctx, doc, num);
        *first = pdf_dict_get_int(ctx, stream, PDF_NAME(First));
        buffer = pdf_load_stream_number(ctx, doc, num);
    }
    fz_always(ctx) pdf_drop_obj(ctx, stream);
    fz_catch(ctx)
    {
        fz_drop_buffer(ctx, buffer);
        Fail(ctx, err);
        return false;
    }
    TakeBytes(ctx, buffer, data);
    return true;
}

bool MuPrintObject(fz_context* ctx, pdf_document* doc, int num, int gen, MuBytes* text,
                   MuError* err)
{
    fz_buffer* buffer = nullptr;
    fz_output* out = nullptr;
    pdf_obj* obj = nullptr;
    fz_var(buffer);
    fz_var(out);
    fz_var(obj);
    *text = MuBytes{};
    fz_try(ctx)
    {
        obj = pdf_load_object(ctx, doc, num);
        buffer = fz_new_buffer(ctx, 256);
        out = fz_new_output_with_buffer(ctx, buffer);
        compat::PrintEncryptedObject(ctx, out, doc, obj, num, gen);
        fz_close_output(ctx, out);
    }
    fz_always(ctx)
    {
        fz_drop_output(ctx, out);
        pdf_drop_obj(ctx, obj);
    }
    fz_catch(ctx)
    {
        fz_drop_buffer(ctx, buffer);
        Fail(ctx, err);
        return false;
    }
    TakeBytes(ctx, buffer, text);
    return true;
}

bool MuWasRepaired(fz_context* ctx, pdf_document* doc)
{
    return pdf_was_repaired(ctx, doc) != 0;
}

bool MuHasObjectStreams(fz_context* ctx, pdf_document* doc)
{
    int found = 0;
    fz_var(found);
    fz_try(ctx)
    {
        const int n = pdf_xref_len(ctx, doc);
        for (int i = 1; i < n && !found; ++i) {
            char type = 0;
            int gen = 0;
            int64_t ofs = 0;
            compat::XrefEntryOf(ctx, doc, i, &type, &gen, &ofs);
            found = type == 'o';
        }
    }
    fz_catch(ctx) found = 1;  // assumed, as it costs little where wrong
    return found != 0;
}

namespace {

std::atomic<long> pagesLoaded{0};
std::atomic<long> pagesLoadedDirectly{0};
std::atomic<long> pageTreeReads{0};

// compat::LoadPage, counted.
pdf_page* LoadPage(fz_context* ctx, pdf_document* doc, const MuPageList* pages, int number)
{
    compat::PageLoad how{};
    pdf_page* page = compat::LoadPage(ctx, doc, pages, number, &how);
    pagesLoaded.fetch_add(1, std::memory_order_relaxed);
    if (how.direct)
        pagesLoadedDirectly.fetch_add(1, std::memory_order_relaxed);
    if (how.treeRead)
        pageTreeReads.fetch_add(1, std::memory_order_relaxed);
    return page;
}

}  // namespace

MuPageLoads MuPagesLoaded()
{
    return MuPageLoads{pagesLoaded.load(), pagesLoadedDirectly.load(), pageTreeReads.load()};
}

bool MuMarksBounds(fz_context* ctx, pdf_document* doc, const MuPageList* pages, int page,
                   const InkOptions& ink, fz_rect* out, int* empty, MuError* err)
{
    pdf_page* pg = nullptr;
    fz_device* dev = nullptr;
    fz_path* shown = nullptr;
    fz_rect bounds = fz_empty_rect;
    fz_var(pg);
    fz_var(dev);
    fz_var(shown);
    fz_try(ctx)
    {
        pg = LoadPage(ctx, doc, pages, page);
        fz_rect visible;
        fz_matrix pageCtm;
        pdf_page_transform(ctx, pg, &visible, &pageCtm);
        const fz_matrix ctm =
            fz_concat(fz_invert_matrix(pageCtm), fz_scale(kMarksScale, kMarksScale));
        dev = NewMarksDevice(ctx, &bounds, ink, kMarksScale);
        // Only what the page shows counts: marks a crop box hides stay hidden.
        // The device's space is user space, scaled.
        shown = fz_new_path(ctx);
        fz_rectto(ctx, shown, visible.x0, visible.y0, visible.x1, visible.y1);
        fz_clip_path(ctx, dev, shown, 0, fz_scale(kMarksScale, kMarksScale), fz_infinite_rect);
        pdf_run_page(ctx, pg, dev, ctm, nullptr);
        fz_pop_clip(ctx, dev);
        fz_close_device(ctx, dev);
    }
    fz_always(ctx)
    {
        fz_drop_path(ctx, shown);
        fz_drop_device(ctx, dev);
        fz_drop_page(ctx, reinterpret_cast<fz_page*>(pg));
    }
    fz_catch(ctx)
    {
        Fail(ctx, err);
        return false;
    }
    *empty = fz_is_empty_rect(bounds);
    if (!*empty) {
        if (fz_is_infinite_rect(bounds))
            *out = bounds;
        else
            *out = fz_make_rect(bounds.x0 / kMarksScale, bounds.y0 / kMarksScale,
                                bounds.x1 / kMarksScale, bounds.y1 / kMarksScale);
    }
    return true;
}

namespace {

// Where a page is rendered to: colour with alpha over a transparent start,
// or one grey byte a pixel over white.
struct RenderTarget {
    bool grey;
    fz_irect area;
    unsigned char* data;
    int stride;
};

bool RenderOnto(fz_context* ctx, pdf_document* doc, const MuPageList* pages, int page,
                fz_matrix userToDevice, fz_rect clip, const RenderTarget& target, MuError* err)
{
    pdf_page* pg = nullptr;
    fz_pixmap* pix = nullptr;
    fz_device* dev = nullptr;
    fz_path* clipPath = nullptr;
    fz_var(pg);
    fz_var(pix);
    fz_var(dev);
    fz_var(clipPath);
    fz_try(ctx)
    {
        pg = LoadPage(ctx, doc, pages, page);
        const fz_matrix ctm = fz_concat(UserSpaceFor(ctx, pg), userToDevice);
        pix = fz_new_pixmap_with_bbox_and_data(
            ctx, target.grey ? fz_device_gray(ctx) : fz_device_rgb(ctx), target.area, nullptr,
            target.grey ? 0 : 1, target.data);
        if (pix->stride != target.stride)
            fz_throw(ctx, FZ_ERROR_GENERIC, "unexpected pixmap layout");
        clipPath = fz_new_path(ctx);
        fz_rectto(ctx, clipPath, clip.x0, clip.y0, clip.x1, clip.y1);
        if (target.grey)
            fz_clear_pixmap_with_value(ctx, pix, 255);
        else
            fz_clear_pixmap(ctx, pix);
        dev = fz_new_draw_device(ctx, fz_identity, pix);
        if (!target.grey) {
            const float white[3] = {1, 1, 1};
            fz_fill_path(ctx, dev, clipPath, 0, userToDevice, fz_device_rgb(ctx), white, 1,
                         fz_default_color_params);
        }
        fz_clip_path(ctx, dev, clipPath, 0, userToDevice, fz_infinite_rect);
        pdf_run_page(ctx, pg, dev, ctm, nullptr);
        fz_pop_clip(ctx, dev);
        fz_close_device(ctx, dev);
    }
    fz_always(ctx)
    {
        fz_drop_device(ctx, dev);
        fz_drop_path(ctx, clipPath);
        fz_drop_pixmap(ctx, pix);
        fz_drop_page(ctx, reinterpret_cast<fz_page*>(pg));
    }
    fz_catch(ctx)
    {
        Fail(ctx, err);
        return false;
    }
    return true;
}

}  // namespace

bool MuRenderPage(fz_context* ctx, pdf_document* doc, const MuPageList* pages, int page,
                  fz_matrix userToDevice, fz_rect clip, fz_irect area, unsigned char* rgba,
                  int stride, MuError* err)
{
    return RenderOnto(ctx, doc, pages, page, userToDevice, clip,
                      RenderTarget{false, area, rgba, stride}, err);
}

bool MuRenderGrey(fz_context* ctx, pdf_document* doc, const MuPageList* pages, int page,
                  fz_matrix userToDevice, fz_rect clip, int width, int height, unsigned char* grey,
                  MuError* err)
{
    return RenderOnto(ctx, doc, pages, page, userToDevice, clip,
                      RenderTarget{true, fz_make_irect(0, 0, width, height), grey, width}, err);
}

namespace {

int DescriptorOf(void* state)
{
    return int(reinterpret_cast<intptr_t>(state));
}

void WriteToDescriptor(fz_context* ctx, void* state, const void* data, size_t n)
{
    const char* at = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t done = write(DescriptorOf(state), at, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            fz_throw(ctx, FZ_ERROR_GENERIC, "cannot write: %s", strerror(done < 0 ? errno : EIO));
        at += done;
        n -= size_t(done);
    }
}

void SeekDescriptor(fz_context* ctx, void* state, int64_t offset, int whence)
{
    if (lseek(DescriptorOf(state), off_t(offset), whence) < 0)
        fz_throw(ctx, FZ_ERROR_GENERIC, "cannot seek: %s", strerror(errno));
}

int64_t TellDescriptor(fz_context* ctx, void* state)
{
    const off_t at = lseek(DescriptorOf(state), 0, SEEK_CUR);
    if (at < 0)
        fz_throw(ctx, FZ_ERROR_GENERIC, "cannot tell: %s", strerror(errno));
    return at;
}

// Throws like any MuPDF call.
fz_output* NewDescriptorOutput(fz_context* ctx, int fd)
{
    fz_output* out = fz_new_output(ctx, 8192, reinterpret_cast<void*>(intptr_t(fd)),
                                   WriteToDescriptor, nullptr, nullptr);
    out->seek = SeekDescriptor;
    out->tell = TellDescriptor;
    return out;
}

// Throws like any MuPDF call.
void WriteDocument(fz_context* ctx, pdf_document* doc, int fd)
{
    pdf_write_options opts = pdf_default_write_options;
    fz_output* out = NewDescriptorOutput(ctx, fd);
    fz_try(ctx)
    {
        pdf_write_document(ctx, doc, out, &opts);
        fz_close_output(ctx, out);
    }
    fz_always(ctx) fz_drop_output(ctx, out);
    fz_catch(ctx) fz_rethrow(ctx);
}

}  // namespace

bool MuSaveDocument(fz_context* ctx, pdf_document* doc, int fd, MuError* err)
{
    fz_try(ctx) WriteDocument(ctx, doc, fd);
    fz_catch(ctx)
    {
        Fail(ctx, err);
        return false;
    }
    return true;
}

bool MuWriteBlankDocument(fz_context* ctx, const MuBlankPage* pages, int count, int fd,
                          MuError* err)
{
    if (count < 1) {
        FailWith(err, "a PDF file needs at least one page");
        return false;
    }
    pdf_document* doc = nullptr;
    pdf_obj* resources = nullptr;
    pdf_obj* page = nullptr;
    fz_var(doc);
    fz_var(resources);
    fz_var(page);
    fz_try(ctx)
    {
        doc = pdf_create_document(ctx);
        resources = pdf_new_dict(ctx, doc, 0);
        for (int i = 0; i < count; ++i) {
            const MuBlankPage* p = &pages[i];
            page = pdf_add_page(ctx, doc,
                                fz_make_rect(p->media[0], p->media[1], p->media[2], p->media[3]), 0,
                                resources, nullptr);
            // pdf_add_page snaps /Rotate to multiples of 90; the page keeps its own.
            pdf_dict_put_int(ctx, page, PDF_NAME(Rotate), p->rotate);
            if (p->hasCrop)
                PutBox(ctx, page, PDF_NAME(CropBox), p->crop);
            pdf_insert_page(ctx, doc, -1, page);
            pdf_drop_obj(ctx, page);
            page = nullptr;
        }
        WriteDocument(ctx, doc, fd);
    }
    fz_always(ctx)
    {
        pdf_drop_obj(ctx, page);
        pdf_drop_obj(ctx, resources);
        pdf_drop_document(ctx, doc);
    }
    fz_catch(ctx)
    {
        Fail(ctx, err);
        return false;
    }
    return true;
}

}  // namespace vellora::pdf
