// SPDX-License-Identifier: AGPL-3.0-or-later
// Bounding boxes found ahead of the host on worker threads.
//
// The host asks for the boxes of a document's pages one after the other.
// Once it has asked for one (or from the start, when the document was
// opened for every box, while the host's thread reads the page tree),
// workers find the following pages' boxes in page order, each on a
// document of its own opened from the same bytes with a MuPDF context of
// its own, so that the answers are there when the host asks. The contexts
// are not clones sharing one cache: MuPDF takes a lock shared by all
// clones for every reference count, which costs more than the cache saves
// (docs/benchmarks.md, "Measurements behind the PDF backend's design");
// the documents share no object anyway. A
// worker's document holds the crop boxes the host's document holds in
// memory; a page changed after the start, and every page from one where a
// worker's document had to be repaired on the way, is left to the host's
// own document, so that every answer is the one that document would give.
#pragma once

#include "backend/pdf/mupdf_calls.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vellora::pdf {

// The marks of a page, as MuMarksBounds finds them.
struct PageMarks {
    fz_rect bounds{};
    int empty = 0;
};

// A page object whose /CropBox the document has changed in memory.
struct CropEdit {
    int pageObject = 0;
    bool removed = false;  // the page's own crop box is gone
    float box[4] = {};
};

struct LookaheadPlan {
    int fd = -1;         // the file the document was read from
    int64_t length = 0;  // its bytes that the document holds
    std::string password;
    std::vector<CropEdit> edits;
    int pageCount = 0;
    // The page objects as the caller's document lists them, when it has
    // listed them already (see pagesListed).
    std::vector<int> pageObjects;
    int first = 0;              // the first page to find
    std::vector<bool> known;    // pages not to find, one a page
    bool repaired = false;      // the document was repaired when it was read
    bool objectStreams = true;  // the file keeps objects in object streams
    int workers = 1;
    InkOptions ink{};  // which pixels of images are marks
};

class BboxLookahead {
public:
    // Pages a worker may be ahead of the last one asked for.
    static constexpr int kAhead = 256;
    // Pages a worker takes at a time: neighbouring pages share objects
    // (object streams, fonts), which each worker reads for itself.
    static constexpr int kRun = 64;

    // Starts the workers. Throws std::system_error when a thread cannot
    // start.
    explicit BboxLookahead(LookaheadPlan plan);
    // Stops the workers (each finishes the page it is on) and waits for them.
    ~BboxLookahead();
    BboxLookahead(const BboxLookahead&) = delete;
    BboxLookahead& operator=(const BboxLookahead&) = delete;

    // The page's marks as a worker found them, waiting for a worker that is
    // at it or about to be; none when the caller is to find them itself.
    std::optional<PageMarks> take(int page);
    // The page changed in the caller's document: what a worker finds for it
    // no longer counts.
    void invalidate(int page);
    // The caller's document was repaired on the way to `page`: nothing a
    // worker finds from there on counts.
    void stopFrom(int page);
    // The caller's document has listed its page objects (when it was not
    // done before the start): workers find pages by them from now on,
    // instead of by a walk of the page tree each.
    void pagesListed(const std::vector<int>& objects);

private:
    enum class Slot : unsigned char { Open, Working, Found, Caller };

    struct Worker {
        fz_context* ctx = nullptr;
        MuLog log{};
        int page = -1;    // the page it is at
        int runNext = 0;  // its run of pages: the next to look at, and the end
        int runEnd = 0;
        int runs = 0;
        std::thread thread;
    };

    void work(Worker& worker);
    // The next page for the worker, -1 when there is none.
    int claim(Worker& w);
    // What the worker found on its page.
    void publish(Worker& w, bool found, const PageMarks& marks, bool repaired);
    void end();
    void stopFromLocked(int page);
    std::shared_ptr<const std::vector<int>> listedPages() const;

    LookaheadPlan plan_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Slot> slots_;
    std::vector<PageMarks> marks_;
    int next_ = 0;     // the first page no worker has claimed
    int settled_ = 0;  // pages before it are found or left to the caller
    int asked_ = 0;    // one past the last page asked for
    int stop_ = 0;     // no worker goes to this page or beyond
    int running_ = 0;
    bool cancelled_ = false;
    std::shared_ptr<const std::vector<int>> pageObjects_;
    std::vector<Worker> workers_;
};

// Threads that find bounding boxes: TRIMVEX_BBOX_THREADS when it is a
// number from 1 to 64, otherwise one a processor.
int BboxThreads();

}  // namespace vellora::pdf
