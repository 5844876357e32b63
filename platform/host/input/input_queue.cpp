// SPDX-License-Identifier: AGPL-3.0-or-later
#include "input/input_queue.h"

namespace vellora {

std::optional<std::string> InputQueue::takeAnswer() {
    if (answers_.empty()) return std::nullopt;
    std::string answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

std::optional<std::string> InputQueue::standingAnswer(const std::string& question) const {
    auto found = standing_.find(question);
    if (found == standing_.end()) return std::nullopt;
    return found->second;
}

void InputQueue::stopAfter(int n) {
    stopAfter_ = n;
    polls_ = 0;
}

bool InputQueue::poll() {
    ++polls_;
    if (UserStopFlag().load()) return true;
    if (live != nullptr && live->stopRequested()) return true;
    return stopAfter_ && polls_ >= *stopAfter_;
}

std::atomic<bool>& UserStopFlag() {
    static std::atomic<bool> flag{false};
    return flag;
}

}  // namespace vellora
