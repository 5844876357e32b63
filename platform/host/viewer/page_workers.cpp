// SPDX-License-Identifier: AGPL-3.0-or-later
#include "viewer/page_workers.h"

#include "model/page_view.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace vellora::viewer {

// The page's ink in its own view (no margin, the whole media box), added
// to the sum with the two middles on each other.
void AddInk(DocumentBackend& backend, const PageJob& job) {
    const ViewGeometry& g = job.geometry;
    const int w = DeviceWidth(g), h = DeviceHeight(g);
    const std::vector<uint8_t> grey = backend.renderGrey(job.page, PageToDevice(g), OrderedRect(job.media), w, h);
    InkSum& sum = *job.sum;
    const int dx = (sum.width - w) / 2, dy = (sum.height - h) / 2;
    std::vector<uint32_t> inked;  // indices into the sum, found before its lock is taken
    for (int y = std::max(0, -dy); y < h && y + dy < sum.height; ++y)
        for (int x = std::max(0, -dx); x < w && x + dx < sum.width; ++x)
            if (grey[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] < kInkLightness)
                inked.push_back(static_cast<uint32_t>((y + dy) * sum.width + (x + dx)));
    std::lock_guard<std::mutex> lock(sum.mutex);
    for (uint32_t i : inked)
        if (sum.counts[i] < UINT16_MAX) ++sum.counts[i];
    ++sum.pages;
}

PageWorkers::PageWorkers(int threads, std::function<void()> wake) : wake_(std::move(wake)) {
    for (int i = 0; i < std::max(1, threads); ++i) threads_.emplace_back([this] { work(); });
}

PageWorkers::~PageWorkers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    ready_.notify_all();
    for (std::thread& t : threads_) t.join();
}

int PageWorkers::DefaultThreads() { return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4); }

void PageWorkers::addDocument(int doc, DocumentBackend::ReaderMaker maker) {
    std::lock_guard<std::mutex> lock(mutex_);
    makers_[doc] = std::move(maker);
    ++generations_[doc];
}

void PageWorkers::forgetDocument(int doc) {
    std::lock_guard<std::mutex> lock(mutex_);
    makers_.erase(doc);
    ++generations_[doc];
    for (auto& lane : lanes_) std::erase_if(lane, [doc](const PageJob& j) { return j.doc == doc; });
}

void PageWorkers::setLane(Lane lane, std::vector<PageJob> jobs) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lanes_[lane].assign(std::make_move_iterator(jobs.begin()), std::make_move_iterator(jobs.end()));
    }
    ready_.notify_all();
}

void PageWorkers::clearLanes(const std::vector<Lane>& lanes) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Lane lane : lanes) lanes_[lane].clear();
}

std::vector<PageResult> PageWorkers::take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(results_, {});
}

size_t PageWorkers::pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t n = working_ + results_.size();
    for (const auto& lane : lanes_) n += lane.size();
    return n;
}

PageResult PageWorkers::Perform(DocumentBackend& backend, const PageJob& job) {
    PageResult result;
    result.job = job;
    try {
        switch (job.kind) {
        case PageJob::Render:
            result.raster = RenderPageView(backend, job.page, job.geometry, job.media, job.crop);
            break;
        case PageJob::Ink:
            AddInk(backend, job);
            break;
        case PageJob::Marks:
            result.marks = backend.marksOnMediaBox(job.page);
            break;
        }
    } catch (const std::exception& e) {
        result.error = e.what();
        // A page that cannot be read adds no ink, but is counted as done.
        if (job.kind == PageJob::Ink) {
            std::lock_guard<std::mutex> lock(job.sum->mutex);
            ++job.sum->pages;
        }
    }
    return result;
}

void PageWorkers::work() {
    // This thread's own copies of the documents, by number and generation.
    std::map<int, std::pair<uint64_t, std::unique_ptr<DocumentBackend>>> readers;
    std::map<int, std::pair<uint64_t, std::string>> failures;
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        ready_.wait(lock, [&] {
            return stopping_ || std::any_of(std::begin(lanes_), std::end(lanes_), [](auto& l) { return !l.empty(); });
        });
        if (stopping_) return;
        auto lane = std::find_if(std::begin(lanes_), std::end(lanes_), [](auto& l) { return !l.empty(); });
        PageJob job = std::move(lane->front());
        lane->pop_front();
        auto maker = makers_.find(job.doc);
        const uint64_t generation = generations_[job.doc];
        DocumentBackend::ReaderMaker make = maker == makers_.end() ? nullptr : maker->second;
        // Copies of documents no longer served are let go.
        std::erase_if(readers, [&](const auto& r) { return makers_.count(r.first) == 0; });
        ++working_;
        lock.unlock();

        PageResult result;
        auto& reader = readers[job.doc];
        if (reader.first != generation || !reader.second) {
            reader = {generation, nullptr};
            auto& failed = failures[job.doc];
            if (failed.first != generation || failed.second.empty()) {
                try {
                    if (make) reader.second = make();
                } catch (const std::exception& e) {
                    failed = {generation, e.what()};
                }
            }
        }
        if (reader.second) {
            result = Perform(*reader.second, job);
        } else {
            result.job = job;
            result.error =
                failures[job.doc].second.empty() ? "the document cannot be read on a worker" : failures[job.doc].second;
            if (job.kind == PageJob::Ink) {
                std::lock_guard<std::mutex> sumLock(job.sum->mutex);
                ++job.sum->pages;
            }
        }

        lock.lock();
        --working_;
        results_.push_back(std::move(result));
        if (results_.size() == 1 && wake_) {
            lock.unlock();
            wake_();
            lock.lock();
        }
    }
}

}  // namespace vellora::viewer
