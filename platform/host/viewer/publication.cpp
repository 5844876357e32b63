// SPDX-License-Identifier: AGPL-3.0-or-later
#include "viewer/publication.h"

#include <algorithm>

namespace vellora::viewer {

namespace {
// A page at 400% is tens of megabytes; a few pages and zooms are enough to
// go back and forth without rendering again.
constexpr size_t kImagesKept = 6;
// Thumbnails: a long scroll's worth; one is a few kilobytes.
constexpr size_t kThumbnailsKept = 1024;
}  // namespace

void Publication::setState(std::string json) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        now_.state = std::move(json);
        ++now_.stateVersion;
    }
    changed_.notify_all();
}

void Publication::setFrame(std::string json) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        now_.frame = std::move(json);
        ++now_.frameVersion;
    }
    changed_.notify_all();
}

void Publication::putImage(const std::string& key, std::shared_ptr<const Bytes> png) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(images_, [&](const auto& entry) { return entry.first == key; });
    images_.emplace_back(key, std::move(png));
    while (images_.size() > kImagesKept) images_.pop_front();
}

bool Publication::hasImage(const std::string& key) const { return image(key) != nullptr; }

std::shared_ptr<const Bytes> Publication::image(const std::string& key) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = std::find_if(images_.begin(), images_.end(), [&](const auto& entry) { return entry.first == key; });
    return found == images_.end() ? nullptr : found->second;
}

void Publication::putThumbnail(const std::string& key, std::shared_ptr<const Bytes> png) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (thumbnails_.insert_or_assign(key, std::move(png)).second) thumbnailOrder_.push_back(key);
    while (thumbnailOrder_.size() > kThumbnailsKept) {
        thumbnails_.erase(thumbnailOrder_.front());
        thumbnailOrder_.pop_front();
    }
}

std::shared_ptr<const Bytes> Publication::thumbnail(const std::string& key) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = thumbnails_.find(key);
    return found == thumbnails_.end() ? nullptr : found->second;
}

void Publication::putAsset(const std::string& key, std::shared_ptr<const Bytes> png) {
    std::lock_guard<std::mutex> lock(mutex_);
    assets_[key] = std::move(png);
}

std::shared_ptr<const Bytes> Publication::asset(const std::string& key) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = assets_.find(key);
    return found == assets_.end() ? nullptr : found->second;
}

Publication::Snapshot Publication::current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return now_;
}

std::optional<Publication::Snapshot> Publication::waitNewer(uint64_t stateSeen, uint64_t frameSeen,
                                                            std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    auto newer = [&] { return closed_ || now_.stateVersion > stateSeen || now_.frameVersion > frameSeen; };
    if (!changed_.wait_for(lock, timeout, newer) || closed_) return std::nullopt;
    return now_;
}

void Publication::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

bool Publication::closed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

}  // namespace vellora::viewer
