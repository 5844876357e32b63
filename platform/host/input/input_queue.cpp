#include "input/input_queue.h"

namespace vellora {

std::optional<std::string> InputQueue::takeAnswer() {
    if (answers_.empty()) return std::nullopt;
    std::string answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

void InputQueue::stopAfter(int n) {
    stopAfter_ = n;
    polls_ = 0;
}

bool InputQueue::poll() {
    ++polls_;
    if (UserStopFlag().load()) return true;
    return stopAfter_ && polls_ >= *stopAfter_;
}

std::atomic<bool>& UserStopFlag() {
    static std::atomic<bool> flag{false};
    return flag;
}

}  // namespace vellora
