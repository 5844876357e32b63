// SPDX-License-Identifier: AGPL-3.0-or-later
// Callback handles: 32-bit numbers standing for plug-in (or host) routines.
// Handles are never reused, so a stale handle is caught instead of calling
// the wrong routine.
#pragma once

#include "vx_types.h"

#include <vector>

namespace vellora {

class CallbackRegistry {
public:
    // A fresh handle at every call, even for a routine already wrapped.
    HostCallback make(ExtensionId extension, HostProc routine);
    // The routine behind a handle; throws HostError for 0 or an unknown handle.
    HostProc routine(HostCallback handle) const;
    ExtensionId extension(HostCallback handle) const;
    bool known(HostCallback handle) const { return handle != 0 && handle <= entries_.size(); }
    size_t count() const { return entries_.size(); }

    // Calls the routine with the slot's signature.
    template <class Signature, class... Args>
    auto call(HostCallback handle, Args... args) const {
        return reinterpret_cast<Signature>(routine(handle))(args...);
    }

private:
    struct Entry {
        ExtensionId extension;
        HostProc routine;
    };
    std::vector<Entry> entries_;  // handle n is entries_[n - 1]
};

}  // namespace vellora
