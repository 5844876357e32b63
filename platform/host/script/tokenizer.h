// SPDX-License-Identifier: AGPL-3.0-or-later
// Splitting a script line into words: blanks separate words, double quotes
// hold blanks (with \" and \\ inside), `#` outside quotes starts a comment.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vellora {

// A bad script line or a failed expectation; `status` is the exit status.
class ScriptError : public std::runtime_error {
public:
    explicit ScriptError(const std::string& message, int status = 1)
        : std::runtime_error(message), status(status), text(message) {}
    int status;
    std::string text;  // the whole message; what() stops at a NUL byte from the script
};

// Throws ScriptError for an unterminated quote or an unknown escape.
std::vector<std::string> Tokenize(std::string_view line);

}  // namespace vellora
