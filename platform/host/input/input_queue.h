// SPDX-License-Identifier: AGPL-3.0-or-later
// The host's input source for every modal loop: queued answers for alerts
// and dialogs, the mouse gesture a drag loop follows, and the stop request.
#pragma once

#include "input/live_input.h"
#include "vx_types.h"

#include <atomic>
#include <deque>
#include <map>
#include <optional>
#include <string>

namespace vellora {

struct Gesture {
    int16_t endX = 0, endY = 0;  // where the mouse is released
    uint16_t modifiers = 0;      // keys held during the gesture
};

class InputQueue {
public:
    void queueAnswer(std::string answer) { answers_.push_back(std::move(answer)); }
    std::optional<std::string> takeAnswer();
    const std::deque<std::string>& pendingAnswers() const { return answers_; }
    // An answer given to the alert QUESTION whenever it is shown, before the
    // queue is consulted; never an error when unused (`answer-when`).
    void setStandingAnswer(const std::string& question, std::string answer) { standing_[question] = std::move(answer); }
    std::optional<std::string> standingAnswer(const std::string& question) const;

    // The gesture of the user action in progress; none outside one.
    std::optional<Gesture> gesture;

    // The person at an interactive front end, when there is one: modal
    // loops ask them rather than the queued answers. Not owned.
    LiveInput* live = nullptr;

    // The cancel check answers stop from poll `n` on (counting from now).
    void stopAfter(int n);
    void stopNever() { stopAfter_.reset(); }
    // One poll of the cancel check: true when the answer is stop.
    bool poll();

private:
    std::deque<std::string> answers_;
    std::map<std::string, std::string> standing_;
    std::optional<int> stopAfter_;
    int polls_ = 0;
};

// The user's stop request (Ctrl-C): set from a signal handler.
std::atomic<bool>& UserStopFlag();

}  // namespace vellora
