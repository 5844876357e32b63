// SPDX-License-Identifier: AGPL-3.0-or-later
// Pages drawn and measured away from the host's UI thread: small page
// views (their rendering), the ink of many pages summed for the overlay, and
// the marks of each page anywhere on its media box. Each worker thread
// reads every document through a copy of its own that the document's
// backend made (see DocumentBackend::readerMaker), so nothing the UI thread
// holds is touched; the UI thread gives each job the boxes its model holds.
#pragma once

#include "backend/document_backend.h"
#include "model/view_geometry.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vellora::viewer {

// The ink of a set of pages, pixel by pixel: how many pages have ink there.
struct InkSum {
    InkSum(int w, int h) : width(w), height(h), counts(static_cast<size_t>(w) * static_cast<size_t>(h), 0) {}
    mutable std::mutex mutex;
    int width, height;
    std::vector<uint16_t> counts;
    int pages = 0;  // added so far
};

// A pixel of a rendering is ink when its lightness is below this (0..255).
inline constexpr int kInkLightness = 192;

struct PageJob {
    enum Kind {
        Render,  // the page's rendering as its page view shows it
        Ink,     // the page's ink added to `sum`, its middle on the sum's middle
        Marks,   // the bounds of its marks on its media box
    } kind = Render;
    int doc = 0;  // the caller's number for the document
    int page = 0;
    ViewGeometry geometry{};  // Render and Ink: the view the page is drawn in
    FixedRect media{}, crop{};
    uint64_t tag = 0;  // the caller's, given back with the result
    std::shared_ptr<InkSum> sum;

    PageJob() = default;
    PageJob(Kind k, int d, int p) : kind(k), doc(d), page(p) {}
};

// Adds the ink of `job.page` (an Ink job) to `job.sum`, read by `backend`.
void AddInk(DocumentBackend& backend, const PageJob& job);

struct PageResult {
    PageJob job;
    std::optional<Raster> raster;    // Render
    std::optional<FixedRect> marks;  // Marks: none for a page without any
    std::string error;               // the job could not be done
};

class PageWorkers {
public:
    // Queues, taken in this order: what is in sight first.
    enum Lane { Sight, Ahead, Overlay, Background, kLanes };

    // `wake` is called (on a worker thread) when results wait to be taken.
    PageWorkers(int threads, std::function<void()> wake);
    ~PageWorkers();
    PageWorkers(const PageWorkers&) = delete;
    PageWorkers& operator=(const PageWorkers&) = delete;

    void addDocument(int doc, DocumentBackend::ReaderMaker maker);
    // Its queued jobs go; a worker's copy of it is let go before its next job.
    void forgetDocument(int doc);
    // The lane's queued jobs are replaced by these.
    void setLane(Lane lane, std::vector<PageJob> jobs);
    void clearLanes(const std::vector<Lane>& lanes);
    std::vector<PageResult> take();
    // Jobs queued, under way, or done and not taken yet.
    size_t pending() const;

    // One job, as a worker does it, with that backend.
    static PageResult Perform(DocumentBackend& backend, const PageJob& job);
    // Threads to use: one a processor, at least 1 and at most 4.
    static int DefaultThreads();

private:
    void work();

    std::function<void()> wake_;
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<PageJob> lanes_[kLanes];
    std::map<int, DocumentBackend::ReaderMaker> makers_;
    std::map<int, uint64_t> generations_;  // a document forgotten and added again is read anew
    std::vector<PageResult> results_;
    size_t working_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace vellora::viewer
