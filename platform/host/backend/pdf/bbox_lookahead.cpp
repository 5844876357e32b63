// SPDX-License-Identifier: AGPL-3.0-or-later
#include "backend/pdf/bbox_lookahead.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <utility>

namespace vellora::pdf {

BboxLookahead::BboxLookahead(LookaheadPlan plan)
    : plan_(std::move(plan)),
      slots_(size_t(plan_.pageCount), Slot::Open),
      marks_(size_t(plan_.pageCount)),
      next_(plan_.first),
      asked_(plan_.first),
      stop_(plan_.pageCount),
      workers_(size_t(std::max(plan_.workers, 1)))
{
    pagesListed(plan_.pageObjects);
    plan_.pageObjects = {};  // pageObjects_ holds them from here
    for (int page = 0; page < plan_.pageCount; ++page)
        if (page < plan_.first || (size_t(page) < plan_.known.size() && plan_.known[size_t(page)]))
            slots_[size_t(page)] = Slot::Caller;
    for (Worker& w : workers_)
        w.ctx = MuNewContext(&w.log);
    try {
        for (Worker& w : workers_) {
            if (!w.ctx)
                continue;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ++running_;
            }
            try {
                w.thread = std::thread(&BboxLookahead::work, this, std::ref(w));
            } catch (...) {
                std::lock_guard<std::mutex> lock(mutex_);
                --running_;
                throw;
            }
        }
    } catch (...) {
        end();
        throw;
    }
}

BboxLookahead::~BboxLookahead()
{
    end();
}

void BboxLookahead::end()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
    }
    changed_.notify_all();
    for (Worker& w : workers_) {
        if (w.thread.joinable())
            w.thread.join();
        // A worker whose thread never started.
        if (w.ctx)
            MuDropContext(w.ctx);
        w.ctx = nullptr;
    }
}

void BboxLookahead::work(Worker& w)
{
    pdf_document* doc = nullptr;
    MuDocInfo info{};
    MuError err{};
    bool ready =
        MuOpenDocument(w.ctx, plan_.fd, plan_.length, plan_.password.c_str(), &doc, &info, &err) &&
        !info.needsPassword && info.pageCount == plan_.pageCount &&
        (info.repaired != 0) == plan_.repaired;
    ready = ready && MuHideDestinations(w.ctx, doc);
    for (const CropEdit& edit : plan_.edits)
        ready = ready &&
                MuSetCropBox(w.ctx, doc, edit.pageObject, edit.removed ? nullptr : edit.box, &err);
    const bool repairedBefore = ready && MuWasRepaired(w.ctx, doc);
    // What the document holds now stays (the crop boxes set in it among
    // it). In a file with object streams, reading one object reads its
    // whole stream: objects read for earlier runs of pages are let go, or
    // a worker would end up holding most of the file's objects (60 MB of
    // the pgf manual). Elsewhere that costs more than it saves.
    if (ready)
        MuMarkCache(w.ctx, doc);
    // The caller's list holds for the worker's document: both read the
    // same bytes, and a worker whose document comes out different stops
    // (above, and when it is repaired on the way). Until the caller has
    // its list, the worker is on the first pages, where a walk is short.
    std::shared_ptr<const std::vector<int>> objects;
    MuPageList pages{};
    int runs = 0;
    for (int page = ready ? claim(w) : -1; page >= 0; page = claim(w)) {
        if (!objects && (objects = listedPages()))
            pages = MuPageList{objects->data(), int(objects->size())};
        if (w.runs != runs) {
            if (runs > 0 && plan_.objectStreams)
                MuClearCache(w.ctx, doc);
            runs = w.runs;
        }
        PageMarks marks;
        const bool found = MuMarksBounds(w.ctx, doc, objects ? &pages : nullptr, page, plan_.ink,
                                         &marks.bounds, &marks.empty, &err);
        // Damage met on the way: the caller's document would meet it too,
        // and read on from the repaired file.
        const bool repaired = !repairedBefore && MuWasRepaired(w.ctx, doc);
        publish(w, found, marks, repaired);
        if (repaired)
            break;
    }
    MuDropDocument(w.ctx, doc);
    MuDropContext(w.ctx);
    std::lock_guard<std::mutex> lock(mutex_);
    w.ctx = nullptr;
    w.page = -1;
    --running_;
    changed_.notify_all();
}

void BboxLookahead::pagesListed(const std::vector<int>& objects)
{
    if (objects.size() != size_t(plan_.pageCount))
        return;
    auto listed = std::make_shared<const std::vector<int>>(objects);
    std::lock_guard<std::mutex> lock(mutex_);
    pageObjects_ = std::move(listed);
}

std::shared_ptr<const std::vector<int>> BboxLookahead::listedPages() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return pageObjects_;
}

int BboxLookahead::claim(Worker& w)
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (cancelled_)
            return -1;
        // The rest of its run of pages first.
        while (w.runNext < w.runEnd && w.runNext < stop_) {
            const int page = w.runNext++;
            if (slots_[size_t(page)] == Slot::Open) {
                slots_[size_t(page)] = Slot::Working;
                w.page = page;
                return page;
            }
        }
        while (next_ < stop_ && slots_[size_t(next_)] != Slot::Open)
            ++next_;
        if (next_ >= stop_)
            return -1;
        if (next_ < asked_ + kAhead) {
            w.runNext = next_;
            w.runEnd = std::min(next_ + kRun, stop_);
            next_ = w.runEnd;
            ++w.runs;
            continue;
        }
        changed_.wait(lock);
    }
}

void BboxLookahead::publish(Worker& w, bool found, const PageMarks& marks, bool repaired)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int page = std::exchange(w.page, -1);
    Slot& slot = slots_[size_t(page)];
    if (slot == Slot::Working) {
        if (found && !repaired) {
            slot = Slot::Found;
            marks_[size_t(page)] = marks;
        } else {
            slot = Slot::Caller;
        }
    }
    if (repaired)
        stopFromLocked(page);
    changed_.notify_all();
}

std::optional<PageMarks> BboxLookahead::take(int page)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (page < 0 || page >= plan_.pageCount)
        return std::nullopt;
    if (page + 1 > asked_) {
        asked_ = page + 1;
        changed_.notify_all();
    }
    for (;;) {
        // Every page before it settled: one still to be found might yet
        // need a repair, which would change every later answer.
        while (settled_ < plan_.pageCount && (slots_[size_t(settled_)] == Slot::Found ||
                                              slots_[size_t(settled_)] == Slot::Caller))
            ++settled_;
        Slot& slot = slots_[size_t(page)];
        if (slot == Slot::Found && settled_ >= page) {
            slot = Slot::Caller;
            return marks_[size_t(page)];
        }
        if (slot == Slot::Caller)
            return std::nullopt;
        // No worker will come to it soon: the caller finds it.
        if (slot == Slot::Open && (running_ == 0 || cancelled_ || page >= stop_ || page >= next_)) {
            slot = Slot::Caller;
            return std::nullopt;
        }
        changed_.wait(lock);
    }
}

void BboxLookahead::invalidate(int page)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (page >= 0 && page < plan_.pageCount)
        slots_[size_t(page)] = Slot::Caller;
}

void BboxLookahead::stopFrom(int page)
{
    std::lock_guard<std::mutex> lock(mutex_);
    stopFromLocked(page);
    changed_.notify_all();
}

void BboxLookahead::stopFromLocked(int page)
{
    stop_ = std::min(stop_, std::max(page, 0));
    for (int p = stop_; p < plan_.pageCount; ++p)
        slots_[size_t(p)] = Slot::Caller;
}

int BboxThreads()
{
    if (const char* text = std::getenv("TRIMVEX_BBOX_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && n >= 1 && n <= 64)
            return int(n);
    }
    const unsigned n = std::thread::hardware_concurrency();
    return int(std::clamp(n, 1u, 64u));
}

}  // namespace vellora::pdf
