// SPDX-License-Identifier: AGPL-3.0-or-later
// The host's one kind of error: a failure the user is told about.
#pragma once

#include <stdexcept>

namespace vellora {

// The message names the file and the problem.
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace vellora
