// SPDX-License-Identifier: AGPL-3.0-or-later
// A routine attached to a host object: a callback handle and the client
// data passed back to it.
#pragma once

#include "vx_types.h"

namespace vellora {

struct Hook {
    HostCallback routine = VX_NO_CALLBACK;
    void* data = nullptr;
    explicit operator bool() const { return routine != VX_NO_CALLBACK; }
};

}  // namespace vellora
