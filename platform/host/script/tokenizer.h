// SPDX-License-Identifier: AGPL-3.0-or-later
// Splitting a script line into words: blanks separate words, double quotes
// hold blanks (with \" and \\ inside), `#` outside quotes starts a comment.
#pragma once

#include "core/exit_status.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellora {

// A bad script line or a failed expectation; `status` is the exit status.
class ScriptError : public std::runtime_error {
public:
    explicit ScriptError(const std::string& message, int status = kExitFailed, std::string unanswered = {})
        : std::runtime_error(message), status(status), text(message), unanswered(std::move(unanswered)) {}
    int status;
    std::string text;        // the whole message; what() stops at a NUL byte from the script
    std::string unanswered;  // the plug-in's question that found no answer, if that was the failure
};

// Throws ScriptError for an unterminated quote or an unknown escape.
std::vector<std::string> Tokenize(std::string_view line);

}  // namespace vellora
