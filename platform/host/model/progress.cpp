// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/progress.h"

#include <algorithm>

namespace vellora {

namespace {
constexpr std::chrono::milliseconds kRedrawInterval{100};
constexpr int kBarWidth = 40;
}  // namespace

ProgressDisplay::ProgressDisplay(std::ostream& err, bool bar, bool lines, Clock clock)
    : err_(err), bar_(bar), lines_(lines && !bar), clock_(std::move(clock)) {}

bool ProgressDisplay::due() {
    auto now = clock_();
    if (shownAny_ && now - last_ < kRedrawInterval) return false;
    shownAny_ = true;
    last_ = now;
    return true;
}

void ProgressDisplay::update(const ProgressRecord& record) {
    if (!bar_ && !lines_) return;
    if (record.event == ProgressEvent::Duration) duration_ = record.value;
    if (record.event == ProgressEvent::Value) {
        if (!due()) {
            valuePending_ = true;
            pendingValue_ = record.value;
            return;
        }
        valuePending_ = false;
    }
    // The last value is shown before the end, so that the final state is seen.
    if (record.event == ProgressEvent::End && valuePending_) {
        valuePending_ = false;
        show(ProgressRecord{ProgressEvent::Value, pendingValue_});
    }
    show(record);
}

void ProgressDisplay::show(const ProgressRecord& record) {
    if (lines_) {
        std::string text = record.text();
        std::replace(text.begin(), text.end(), ':', ' ');
        err_ << "progress: " << text << "\n";
        return;
    }
    // A bar redrawn in place; the duration sets its length.
    if (record.event == ProgressEvent::Value && duration_ > 0) {
        int filled = static_cast<int>(std::clamp<int64_t>(int64_t(record.value) * kBarWidth / duration_, 0, kBarWidth));
        err_ << "\r[" << std::string(static_cast<size_t>(filled), '#')
             << std::string(static_cast<size_t>(kBarWidth - filled), ' ') << "] " << record.value << "/" << duration_
             << std::flush;
    }
    if (record.event == ProgressEvent::End) err_ << "\n";
}

}  // namespace vellora
