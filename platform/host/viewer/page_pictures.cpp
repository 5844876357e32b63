// SPDX-License-Identifier: AGPL-3.0-or-later
#include "viewer/page_pictures.h"

#include "core/fixed_text.h"
#include "model/document.h"
#include "render/png_writer.h"
#include "viewer/json_writer.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>

namespace vellora::viewer {

namespace {

// A thumbnail's page fits this box, in device pixels.
constexpr double kThumbWidth = 120, kThumbHeight = 180;
// The overlay sums ink at this zoom (36 pixels an inch): finer costs the
// workers more pixels to count than it shows.
constexpr double kOverlayZoom = 50;
// While it is summed, the overlay's picture is made again this often (a
// picture of a page at 100% costs the UI thread some 50 ms, most of it PNG).
constexpr auto kOverlayRefresh = std::chrono::milliseconds(500);
// Drawing the plug-in's outlines aside may take this long at most.
constexpr int kAsideTimeoutMs = 10000;

std::string Depends(const DocumentBackend& b, int page, double zoom) {
    FixedRect m = b.mediaBox(page), c = b.cropBox(page);
    char text[160];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d/%d,%d,%d,%d/%d/%.4f", m.left, m.bottom, m.right, m.top, c.left,
                  c.bottom, c.right, c.top, b.rotation(page), zoom);
    return text;
}

bool SameOps(const std::vector<DrawOp>& a, const std::vector<DrawOp>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const DrawOp& x, const DrawOp& y) {
        return std::memcmp(&x.rect, &y.rect, sizeof x.rect) == 0 && x.width == y.width && x.rgba == y.rgba;
    });
}

// ---- Outlines drawn in a child process, sent back through a pipe.

struct OpRecord {
    int16_t left, top, right, bottom;
    int32_t width;
    uint32_t rgba;
};

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd, p, size);
        if (n <= 0) return false;
        p += n, size -= static_cast<size_t>(n);
    }
    return true;
}

// In the child: each page from `next` on, then the window's own page again;
// it stops after a page that left the routines drawing the window's page
// otherwise, so that every page is drawn from the state the window left.
[[noreturn]] void DrawInChild(FrontEndSide& host, DocWindow& window, const std::vector<std::pair<int, double>>& pages,
                              size_t next, int fd) {
    host.setLiveInput(nullptr);  // nobody answers a question asked here
    DocWindow scratch("", window.documentPtr());
    PageView& view = scratch.view();
    auto draw = [&](int page, double zoom) {
        view.setPage(page);
        view.setZoom(zoom);
        host.drawDetached(view);
        return view.ops();
    };
    const std::vector<DrawOp> own = draw(window.view().pageIndex(), window.view().zoom());
    for (size_t i = next; i < pages.size(); ++i) {
        std::vector<DrawOp> ops = draw(pages[i].first, pages[i].second);
        std::vector<OpRecord> records;
        for (const DrawOp& op : ops)
            records.push_back(OpRecord{op.rect.left, op.rect.top, op.rect.right, op.rect.bottom,
                                       static_cast<int32_t>(op.width), op.rgba});
        const int32_t head[2] = {static_cast<int32_t>(i), static_cast<int32_t>(records.size())};
        if (!WriteAll(fd, head, sizeof head) || !WriteAll(fd, records.data(), records.size() * sizeof(OpRecord))) break;
        if (!SameOps(draw(window.view().pageIndex(), window.view().zoom()), own)) break;
    }
    _exit(0);
}

// Reads what one child wrote; the next page to draw after it.
size_t ReadChild(int fd, pid_t child, const std::vector<std::pair<int, double>>& pages, size_t next,
                 std::map<int, std::vector<DrawOp>>& drawn) {
    std::vector<char> bytes;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAsideTimeoutMs);
    char buffer[65536];
    while (true) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || poll(&p, 1, left) <= 0) {
            kill(child, SIGKILL);
            break;
        }
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    waitpid(child, nullptr, 0);
    size_t at = 0, after = next;
    while (bytes.size() - at >= 2 * sizeof(int32_t)) {
        int32_t head[2];
        std::memcpy(head, bytes.data() + at, sizeof head);
        size_t size = static_cast<size_t>(head[1]) * sizeof(OpRecord);
        if (head[0] < 0 || static_cast<size_t>(head[0]) >= pages.size() || head[1] < 0 ||
            bytes.size() - at - sizeof head < size)
            break;
        std::vector<DrawOp>& ops = drawn[pages[static_cast<size_t>(head[0])].first];
        ops.clear();
        for (int32_t k = 0; k < head[1]; ++k) {
            OpRecord r;
            std::memcpy(&r, bytes.data() + at + sizeof head + static_cast<size_t>(k) * sizeof r, sizeof r);
            ops.push_back(DrawOp{DeviceRect{r.left, r.top, r.right, r.bottom}, r.width, r.rgba, {}});
        }
        at += sizeof head + size;
        after = static_cast<size_t>(head[0]) + 1;
    }
    return after;
}

}  // namespace

std::map<int, std::vector<DrawOp>> DrawPagesAside(FrontEndSide& host, DocWindow& window,
                                                  const std::vector<std::pair<int, double>>& pages) {
    std::map<int, std::vector<DrawOp>> drawn;
    size_t next = 0;
    while (next < pages.size()) {
        int fds[2];
        if (pipe(fds) != 0) break;
        pid_t child = fork();
        if (child < 0) {
            close(fds[0]), close(fds[1]);
            break;
        }
        if (child == 0) {
            close(fds[0]);
            DrawInChild(host, window, pages, next, fds[1]);
        }
        close(fds[1]);
        size_t after = ReadChild(fds[0], child, pages, next, drawn);
        close(fds[0]);
        // A page the child could not draw is left without outlines.
        next = std::max(after, next + 1);
    }
    return drawn;
}

PagePictures::PagePictures(FrontEndSide& host, Publication& publication, std::function<void()> wake, int threads)
    : host_(host), publication_(publication), workers_(threads, std::move(wake)) {}

PagePictures::Doc* PagePictures::activeDoc() {
    DocWindow* w = host_.activeWindow();
    if (w == nullptr) return nullptr;
    const std::shared_ptr<Document>& doc = w->documentPtr();
    Doc& entry = docs_[doc.get()];
    // A document at the address of one closed earlier is another one.
    if (entry.id == 0 || entry.document.lock() != doc) {
        if (entry.id != 0) workers_.forgetDocument(entry.id);
        entry = Doc{};
        entry.id = nextDocId_++;
        entry.document = doc;
        entry.marksState.assign(static_cast<size_t>(doc->pageCount()), 0);
        entry.marks.assign(static_cast<size_t>(doc->pageCount()), FixedRect{});
        workers_.addDocument(entry.id, doc->backend().readerMaker());
    }
    // Documents no window shows any more are let go.
    std::erase_if(docs_, [&](auto& d) {
        if (!d.second.document.expired()) return false;
        workers_.forgetDocument(d.second.id);
        return true;
    });
    return &docs_[doc.get()];
}

double PagePictures::thumbZoom(const DocumentBackend& b, int page) const {
    ViewGeometry g = MakeViewGeometry(b.mediaBox(page), b.cropBox(page), b.rotation(page), 100);
    bool sideways = g.rotation == 90 || g.rotation == 270;
    double w = FixedToDouble(g.shown.right - g.shown.left), h = FixedToDouble(g.shown.top - g.shown.bottom);
    if (sideways) std::swap(w, h);
    if (w <= 0 || h <= 0) return 10;
    return std::max(0.5, std::min(kThumbWidth / w, kThumbHeight / h) * 100);
}

void PagePictures::want(int first, int last) {
    first_ = first;
    last_ = last;
}

void PagePictures::update(bool acted) {
    if (acted) ++opsEpoch_;
    std::vector<PageResult> results = workers_.take();
    waiting_ = false;
    Doc* doc = activeDoc();
    for (PageResult& r : results) {
        auto found = std::find_if(docs_.begin(), docs_.end(), [&](auto& d) { return d.second.id == r.job.doc; });
        if (found == docs_.end()) continue;
        Doc& d = found->second;
        if (r.job.kind == PageJob::Render) {
            Thumb& t = d.thumbs[r.job.page];
            t.queued = false;
            if (r.raster && std::hash<std::string>{}(t.depends) == r.job.tag) t.raster = std::move(r.raster);
        } else if (r.job.kind == PageJob::Marks && r.error.empty()) {
            auto page = static_cast<size_t>(r.job.page);
            if (d.marksState[page] == 0) ++d.marksFound;
            d.marksState[page] = r.marks ? 2 : 1;
            if (r.marks) d.marks[page] = *r.marks;
        } else if (r.job.kind == PageJob::Marks) {
            // A page whose marks cannot be found has no badge; it counts as checked.
            if (d.marksState[static_cast<size_t>(r.job.page)] == 0) ++d.marksFound;
            d.marksState[static_cast<size_t>(r.job.page)] = 1;
        }
    }
    if (doc == nullptr) return;
    DocWindow& window = *host_.activeWindow();
    if (!doc->marksQueued) {
        doc->marksQueued = true;
        std::vector<PageJob> jobs;
        for (int p = 0; p < window.document().pageCount(); ++p)
            if (doc->marksState[static_cast<size_t>(p)] == 0) jobs.push_back(PageJob{PageJob::Marks, doc->id, p});
        workers_.setLane(PageWorkers::Background, std::move(jobs));
        for (auto& [_, other] : docs_)
            if (&other != doc) other.marksQueued = false;
    }
    queueThumbs(*doc, window);
    drawOutlines(*doc, window);
    publishThumbs(*doc);
}

// Pages in sight first, then those around them, nearest first.
void PagePictures::queueThumbs(Doc& doc, DocWindow& window) {
    const DocumentBackend& b = window.document().backend();
    const int count = b.pageCount();
    const int first = std::clamp(first_, 1, count) - 1, last = std::clamp(last_, 0, count) - 1;
    if (last < first) return;
    // The lanes are made again when the pages wanted or their boxes may have
    // changed; a job dropped from them is asked for again then.
    const std::string wanted = std::to_string(doc.id) + "/" + std::to_string(first) + "/" + std::to_string(last) + "/" +
                               std::to_string(opsEpoch_);
    if (wanted == queuedFor_) return;
    queuedFor_ = wanted;
    for (auto& entry : doc.thumbs) entry.second.queued = false;
    std::vector<PageJob> sight, ahead;
    auto need = [&](int page, std::vector<PageJob>& lane) {
        if (page < 0 || page >= count) return;
        const double zoom = thumbZoom(b, page);
        const std::string depends = Depends(b, page, zoom);
        Thumb& t = doc.thumbs[page];
        if (t.depends != depends) {
            t.depends = depends;
            t.raster.reset();
            t.queued = false;
            t.published.clear();
        }
        if (t.raster || t.queued) return;
        t.queued = true;
        PageJob job{PageJob::Render, doc.id, page};
        job.geometry = MakeViewGeometry(b.mediaBox(page), b.cropBox(page), b.rotation(page), zoom);
        job.media = b.mediaBox(page);
        job.crop = b.cropBox(page);
        lane.push_back(job);
    };
    for (int p = first; p <= last; ++p) need(p, sight);
    const int span = last - first + 1;
    for (int k = 1; k <= 2 * span; ++k) need(last + k, ahead), need(first - k, ahead);
    // A result counts only for the boxes and zoom it was made for.
    for (auto* lane : {&sight, &ahead})
        for (PageJob& j : *lane) j.tag = std::hash<std::string>{}(doc.thumbs[j.page].depends);
    workers_.setLane(PageWorkers::Sight, std::move(sight));
    workers_.setLane(PageWorkers::Ahead, std::move(ahead));
}

void PagePictures::drawOutlines(Doc& doc, DocWindow& window) {
    const DocumentBackend& b = window.document().backend();
    const int count = b.pageCount();
    const int first = std::clamp(first_, 1, count) - 1, last = std::clamp(last_, 0, count) - 1;
    if (last < first) return;
    const int span = last - first + 1;
    std::vector<std::pair<int, double>> pages;
    for (int p = std::max(0, first - span); p <= std::min(count - 1, last + span); ++p) {
        Thumb& t = doc.thumbs[p];
        if (t.opsKnown && t.opsEpoch == opsEpoch_ && t.opsDepends == t.depends) continue;
        pages.emplace_back(p, thumbZoom(b, p));
    }
    if (pages.empty()) return;
    std::map<int, std::vector<DrawOp>> drawn = DrawPagesAside(host_, window, pages);
    for (const auto& [page, zoom] : pages) {
        (void)zoom;
        Thumb& t = doc.thumbs[page];
        auto found = drawn.find(page);
        t.ops = found == drawn.end() ? std::vector<DrawOp>{} : found->second;
        t.opsKnown = true;
        t.opsEpoch = opsEpoch_;
        t.opsDepends = t.depends;
    }
}

void PagePictures::publishThumbs(Doc& doc) {
    for (auto& [page, t] : doc.thumbs) {
        if (!t.raster || !t.opsKnown || t.opsDepends != t.depends) continue;
        const std::string made = t.depends + "#" + std::to_string(t.opsEpoch);
        if (t.published == made) continue;
        // The page view with its outlines, without the view's margin.
        Raster whole = *t.raster;
        for (const DrawOp& op : t.ops) StrokeRect(whole, op.rect, op.width, op.rgba);
        const int margin = ViewGeometry{}.margin;
        Raster picture(std::max(1, whole.width - 2 * margin), std::max(1, whole.height - 2 * margin), 0);
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x)
                picture.at(x, y) =
                    whole.at(std::min(whole.width - 1, x + margin), std::min(whole.height - 1, y + margin));
        const std::string key = "t" + std::to_string(nextKey_++);
        publication_.putThumbnail(key, std::make_shared<const Bytes>(EncodePng(picture)));
        t.published = made;
        t.url = "thumb/" + key + ".png";
        t.width = picture.width;
        t.height = picture.height;
    }
}

std::pair<int, int> PagePictures::marksOutside() {
    Doc* doc = activeDoc();
    if (doc == nullptr) return {0, 0};
    const DocumentBackend& b = host_.activeWindow()->document().backend();
    int outside = 0;
    for (size_t p = 0; p < doc->marksState.size(); ++p) {
        if (doc->marksState[p] != 2) continue;
        const FixedRect c = OrderedRect(b.cropBox(static_cast<int>(p))), m = doc->marks[p];
        if (m.left < c.left || m.right > c.right || m.bottom < c.bottom || m.top > c.top) ++outside;
    }
    return {outside, doc->marksFound};
}

std::string PagePictures::json() {
    Doc* doc = activeDoc();
    if (doc == nullptr) return "null";
    DocWindow& window = *host_.activeWindow();
    const DocumentBackend& b = window.document().backend();
    JsonWriter j;
    j.beginObject().key("count").value(b.pageCount()).key("current").value(window.view().pageIndex() + 1);
    j.key("thumbs").beginArray();
    for (int p = std::max(1, first_); p <= std::min(last_, b.pageCount()); ++p) {
        auto found = doc->thumbs.find(p - 1);
        if (found == doc->thumbs.end() || found->second.url.empty()) continue;
        const Thumb& t = found->second;
        j.beginArray().value(p).value(t.url).value(t.width).value(t.height).endArray();
    }
    j.endArray().key("badges").beginArray();
    for (size_t p = 0; p < doc->marksState.size(); ++p) {
        if (doc->marksState[p] != 2) continue;
        const FixedRect c = OrderedRect(b.cropBox(static_cast<int>(p))), m = doc->marks[p];
        if (m.left < c.left || m.right > c.right || m.bottom < c.bottom || m.top > c.top)
            j.value(static_cast<int>(p) + 1);
    }
    j.endArray().key("checked").value(doc->marksFound);
    j.key("overlaySet")
        .value(overlaySet_ == OverlaySet::All    ? "all"
               : overlaySet_ == OverlaySet::Odd  ? "odd"
               : overlaySet_ == OverlaySet::Even ? "even"
                                                 : "same");
    j.endObject();
    return j.text();
}

// ---- The overlay -------------------------------------------------------------

std::vector<int> PagePictures::overlayPages(const DocumentBackend& b, int current) const {
    std::vector<int> pages;
    const FixedRect m = OrderedRect(b.mediaBox(current));
    for (int p = 0; p < b.pageCount(); ++p) {
        switch (overlaySet_) {
        case OverlaySet::All:
            break;
        case OverlaySet::Odd:
            if (p % 2 != 0) continue;
            break;
        case OverlaySet::Even:
            if (p % 2 == 0) continue;
            break;
        case OverlaySet::SameSize: {
            const FixedRect q = OrderedRect(b.mediaBox(p));
            if (b.rotation(p) != b.rotation(current) || q.right - q.left != m.right - m.left ||
                q.top - q.bottom != m.top - m.bottom)
                continue;
            break;
        }
        }
        pages.push_back(p);
    }
    // Spread over the document first, so that the first pictures already
    // show where the pages have ink; then the rest.
    std::vector<int> ordered;
    std::vector<bool> taken(pages.size(), false);
    for (size_t stride : {size_t{64}, size_t{8}, size_t{1}})
        for (size_t i = 0; i < pages.size(); i += stride)
            if (!taken[i]) taken[i] = true, ordered.push_back(pages[i]);
    return ordered;
}

void PagePictures::startOverlay(Doc& doc, PageView& view) {
    const DocumentBackend& b = view.document().backend();
    const int page = view.pageIndex();
    const FixedRect m = OrderedRect(b.mediaBox(page));
    char depends[160];
    std::snprintf(depends, sizeof depends, "%d/%d/%d,%d/%d", doc.id, static_cast<int>(overlaySet_), m.right - m.left,
                  m.top - m.bottom, b.rotation(page));
    if (overlay_.sum && overlay_.depends == depends) return;
    overlay_ = Overlay{};
    overlay_.depends = depends;
    overlay_.grid = MakeViewGeometry(m, m, b.rotation(page), kOverlayZoom);
    overlay_.grid.margin = 0;
    overlay_.sum = std::make_shared<InkSum>(DeviceWidth(overlay_.grid), DeviceHeight(overlay_.grid));
    std::vector<PageJob> jobs;
    for (int p : overlayPages(b, page)) {
        PageJob job{PageJob::Ink, doc.id, p};
        const FixedRect q = OrderedRect(b.mediaBox(p));
        job.geometry = MakeViewGeometry(q, q, b.rotation(p), kOverlayZoom);
        job.geometry.margin = 0;
        job.media = q;
        job.crop = q;
        job.sum = overlay_.sum;
        jobs.push_back(job);
    }
    overlay_.total = static_cast<int>(jobs.size());
    // The page in view is summed here, from the document the view reads: its
    // fonts and images are loaded already, so the first picture needs no
    // worker to open the file and read them. The workers sum the rest.
    auto own = std::find_if(jobs.begin(), jobs.end(), [&](const PageJob& j) { return j.page == page; });
    if (own != jobs.end()) {
        try {
            AddInk(view.document().backend(), *own);
            jobs.erase(own);
        } catch (const std::exception&) {
            // Left to a worker, which counts a page it cannot read.
        }
    }
    workers_.setLane(PageWorkers::Overlay, std::move(jobs));
}

std::pair<int, int> PagePictures::overlayProgress() const {
    if (!overlay_.sum) return {0, 0};
    std::lock_guard<std::mutex> lock(overlay_.sum->mutex);
    return {overlay_.sum->pages, overlay_.total};
}

std::string PagePictures::overlayImage(PageView& view) {
    overlayChanged_ = false;
    if (!overlayOn_) {
        if (overlay_.sum) workers_.clearLanes({PageWorkers::Overlay});
        overlay_ = Overlay{};
        return {};
    }
    Doc* doc = activeDoc();
    if (doc == nullptr) return {};
    startOverlay(*doc, view);
    InkSum& sum = *overlay_.sum;
    std::vector<uint16_t> counts;
    int pages = 0;
    {
        std::lock_guard<std::mutex> lock(sum.mutex);
        pages = sum.pages;
        const auto now = std::chrono::steady_clock::now();
        const std::string made =
            std::to_string(pages) + "/" + Depends(view.document().backend(), view.pageIndex(), view.zoom());
        if (made == overlay_.made) return overlay_.key;
        // The first page's ink is shown at once; the picture is refined at
        // intervals after that.
        const bool due = overlay_.key.empty() || overlay_.shownPages == 0 || pages == overlay_.total ||
                         now - overlay_.lastPicture >= kOverlayRefresh;
        if (!due) {
            waiting_ = true;  // made again once it is due
            return overlay_.key;
        }
        counts = sum.counts;
        overlay_.lastPicture = now;
        overlay_.made = made;
        overlay_.shownPages = pages;
    }
    // The view as a page view shows it, the content replaced by the ink:
    // the darker, the more pages have ink there.
    const DocumentBackend& b = view.document().backend();
    const int page = view.pageIndex();
    const ViewGeometry g = view.geometry();
    Raster picture(DeviceWidth(g), DeviceHeight(g), 0xFF808080u);
    const Affine t = PageToDevice(g);
    const DeviceBox media = TransformBox(t, b.mediaBox(page));
    FillBox(picture, media, 0xFFD0D0D0u);
    FillBox(picture, Intersect(media, TransformBox(t, b.cropBox(page))), 0xFFFFFFFFu);
    const uint16_t most = counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
    // The shade of each count, and the sum's column and row under each pixel.
    std::vector<uint8_t> shade(static_cast<size_t>(most) + 1, 255);
    for (int c = 1; c <= most; ++c)
        shade[static_cast<size_t>(c)] = static_cast<uint8_t>(std::lround(220 - 200 * std::sqrt(double(c) / most)));
    const double ratio = (kOverlayZoom / 100.0) / g.scale;
    const double middleX = (media.x0 + media.x1 + 1) / 2.0, middleY = (media.y0 + media.y1 + 1) / 2.0;
    auto cell = [&](int device, double middle, int cells) {
        const int at = static_cast<int>(std::floor((device + 0.5 - middle) * ratio + cells / 2.0));
        return at >= 0 && at < cells ? at : -1;
    };
    const int x0 = std::max(0, media.x0), x1 = std::min(picture.width - 1, media.x1);
    std::vector<int> columns;
    for (int x = x0; x <= x1; ++x) columns.push_back(cell(x, middleX, sum.width));
    for (int y = std::max(0, media.y0); y <= std::min(picture.height - 1, media.y1) && most > 0; ++y) {
        const int gy = cell(y, middleY, sum.height);
        if (gy < 0) continue;
        const uint16_t* row = counts.data() + static_cast<size_t>(gy) * static_cast<size_t>(sum.width);
        for (int x = x0; x <= x1; ++x) {
            const int gx = columns[static_cast<size_t>(x - x0)];
            if (gx < 0 || row[gx] == 0) continue;
            const uint32_t v = std::min<uint32_t>(picture.at(x, y) & 0xFF, shade[row[gx]]);
            picture.at(x, y) = 0xFF000000u | (v << 16) | (v << 8) | v;
        }
    }
    const std::string key = "p9" + std::to_string(100000000 + nextKey_++).substr(1);
    publication_.putImage(key, std::make_shared<const Bytes>(EncodePng(picture)));
    overlay_.key = key;
    overlayChanged_ = true;
    if (pages < overlay_.total) waiting_ = true;
    return key;
}

}  // namespace vellora::viewer
