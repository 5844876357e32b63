// SPDX-License-Identifier: AGPL-3.0-or-later
// What the host's UI thread publishes for the page: the window's state
// (menus, toolbar, windows, modal, progress), the page view's drawing, and
// images by key. The UI thread writes; the server's threads read and wait
// for changes to push.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vellora::viewer {

using Bytes = std::vector<uint8_t>;

class Publication {
public:
    // JSON documents; each new one gets the next version number.
    void setState(std::string json);
    void setFrame(std::string json);

    // Page renderings by key: the newest few are kept.
    void putImage(const std::string& key, std::shared_ptr<const Bytes> png);
    bool hasImage(const std::string& key) const;
    std::shared_ptr<const Bytes> image(const std::string& key) const;
    // Small page views by key: many more are kept.
    void putThumbnail(const std::string& key, std::shared_ptr<const Bytes> png);
    std::shared_ptr<const Bytes> thumbnail(const std::string& key) const;
    // Icons and cursors: kept for the run.
    void putAsset(const std::string& key, std::shared_ptr<const Bytes> png);
    std::shared_ptr<const Bytes> asset(const std::string& key) const;

    struct Snapshot {
        uint64_t stateVersion = 0, frameVersion = 0;
        std::string state, frame;
    };
    Snapshot current() const;
    // Waits up to `timeout` for a state or frame newer than those seen;
    // nullopt on timeout or once closed.
    std::optional<Snapshot> waitNewer(uint64_t stateSeen, uint64_t frameSeen, std::chrono::milliseconds timeout) const;
    // Wakes every waiter for good: the server is going.
    void close();
    bool closed() const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Snapshot now_;
    std::deque<std::pair<std::string, std::shared_ptr<const Bytes>>> images_;
    std::map<std::string, std::shared_ptr<const Bytes>> assets_;
    std::map<std::string, std::shared_ptr<const Bytes>> thumbnails_;
    std::deque<std::string> thumbnailOrder_;  // oldest first
    bool closed_ = false;
};

}  // namespace vellora::viewer
