// SPDX-License-Identifier: AGPL-3.0-or-later
#include "viewer/user_events.h"

namespace vellora::viewer {

namespace {
// Far more than a person makes; a page gone wild cannot grow the queue without end.
constexpr size_t kMaxQueued = 4096;
}  // namespace

void UserEventQueue::push(UserEvent event) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return;
        bool folds = (event.kind == UserEvent::Move || event.kind == UserEvent::Hover) && !events_.empty() &&
                     events_.back().kind == event.kind;
        if (folds)
            events_.back() = std::move(event);
        else if (events_.size() < kMaxQueued)
            events_.push_back(std::move(event));
    }
    ready_.notify_one();
}

std::optional<UserEvent> UserEventQueue::next(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait_for(lock, timeout, [&] { return closed_ || !events_.empty(); });
    if (closed_ || events_.empty()) return std::nullopt;
    UserEvent e = std::move(events_.front());
    events_.pop_front();
    return e;
}

std::optional<UserEvent> UserEventQueue::tryNext() { return next(std::chrono::milliseconds(0)); }

void UserEventQueue::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    ready_.notify_all();
}

bool UserEventQueue::closed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

size_t UserEventQueue::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_.size();
}

}  // namespace vellora::viewer
