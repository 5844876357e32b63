// SPDX-License-Identifier: AGPL-3.0-or-later
// The progress monitor as the user sees it: a bar redrawn in place on a
// terminal; otherwise, only when asked for (--verbose), one line an update.
// Either way at most ten redraws a second, so that a run of many pages is
// not held up by its own progress.
#pragma once

#include "core/progress_record.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace vellora {

class ProgressDisplay {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // `bar`: the stream is a terminal. `lines`: show updates on a stream that is not.
    ProgressDisplay(std::ostream& err, bool bar, bool lines, Clock clock = std::chrono::steady_clock::now);

    void update(const ProgressRecord& record);

private:
    void show(const ProgressRecord& record);
    bool due();

    std::ostream& err_;
    bool bar_;
    bool lines_;
    Clock clock_;
    int32_t duration_ = 0;
    std::chrono::steady_clock::time_point last_{};
    bool shownAny_ = false;
    bool valuePending_ = false;  // a value not shown yet, shown before the end
    int32_t pendingValue_ = 0;
};

}  // namespace vellora
