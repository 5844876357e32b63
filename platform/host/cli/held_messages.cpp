// SPDX-License-Identifier: AGPL-3.0-or-later
#include "cli/held_messages.h"

#include <algorithm>

namespace vellora::cli {

HeldMessages::HeldMessages(std::ostream& target, std::string prefix)
    : std::ostream(static_cast<std::streambuf*>(this)),
      target_(target),
      prefix_(std::move(prefix)) {}

HeldMessages::~HeldMessages() { finish(); }

bool HeldMessages::mayBeHeld() const {
    const size_t n = std::min(line_.size(), prefix_.size());
    return line_.compare(0, n, prefix_, 0, n) == 0;
}

void HeldMessages::endLine() {
    if (line_.size() >= prefix_.size() && mayBeHeld()) {
        held_.push_back(line_);
    } else {
        target_ << line_ << '\n';
    }
    line_.clear();
}

int HeldMessages::overflow(int c) {
    if (c == std::char_traits<char>::eof()) return std::char_traits<char>::not_eof(c);
    if (c == '\n') {
        endLine();
    } else if (c == '\r') {
        // A progress bar redrawn in place: show it now.
        target_ << line_ << '\r' << std::flush;
        line_.clear();
    } else {
        line_ += static_cast<char>(c);
    }
    return c;
}

int HeldMessages::sync() {
    if (!line_.empty() && !mayBeHeld()) {
        target_ << line_;
        line_.clear();
    }
    target_.flush();
    return 0;
}

void HeldMessages::finish() {
    if (!line_.empty()) endLine();
    target_.flush();
}

}  // namespace vellora::cli
