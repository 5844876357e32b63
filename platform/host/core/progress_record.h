// SPDX-License-Identifier: AGPL-3.0-or-later
// One call of the plug-in's progress monitor, as the host passes it on to
// whatever shows it (the terminal's bar, the viewer's page).
#pragma once

#include <cstdint>
#include <string>

namespace vellora {

enum class ProgressEvent : uint8_t { Begin, End, Duration, Value };

struct ProgressRecord {
    ProgressEvent event;
    int32_t value;  // the duration or current value
    // As `expect progress` writes it: begin, end, duration:N, value:N.
    std::string text() const {
        switch (event) {
        case ProgressEvent::Begin:
            return "begin";
        case ProgressEvent::End:
            return "end";
        case ProgressEvent::Duration:
            return "duration:" + std::to_string(value);
        case ProgressEvent::Value:
            return "value:" + std::to_string(value);
        }
        return "";
    }
};

}  // namespace vellora
