// SPDX-License-Identifier: AGPL-3.0-or-later
// The host's one kind of error: a failure the user is told about.
#pragma once

#include "core/exit_status.h"

#include <stdexcept>
#include <string>

namespace vellora {

// The message names the file and the problem; the kind, chosen where the
// error is raised, decides the exit status (ExitStatusOf).
class HostError : public std::runtime_error {
public:
    explicit HostError(const std::string& message) : HostError(ErrorKind::Failed, message) {}
    HostError(ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    ErrorKind kind() const { return kind_; }

private:
    ErrorKind kind_;
};

// A bad command line: the message says which word and why.
class UsageError : public HostError {
public:
    explicit UsageError(const std::string& message) : HostError(ErrorKind::Usage, message) {}
};

}  // namespace vellora
