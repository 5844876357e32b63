// SPDX-License-Identifier: AGPL-3.0-or-later
// The page's input requests: form fields turned into a UserEvent, every
// value checked and bounded before it reaches the host.
#pragma once

#include "viewer/user_events.h"

#include <map>
#include <stdexcept>
#include <string>

namespace vellora::viewer {

// Raised for a request that is not one the page makes (answered with 400).
class BadRequest : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using FormFields = std::map<std::string, std::string>;

// Throws BadRequest naming the field.
UserEvent ParseUserEvent(const FormFields& fields);

}  // namespace vellora::viewer
