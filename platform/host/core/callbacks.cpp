// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/callbacks.h"

#include "core/host_error.h"

#include <string>

namespace vellora {

HostCallback CallbackRegistry::make(ExtensionId extension, HostProc routine) {
    if (routine == nullptr) throw HostError("Core.MakeCallback was given no routine");
    if (entries_.size() >= 0xFFFFFFFEu) throw HostError("no callback handles left");
    entries_.push_back({extension, routine});
    return static_cast<HostCallback>(entries_.size());
}

HostProc CallbackRegistry::routine(HostCallback handle) const {
    if (!known(handle)) throw HostError("callback handle " + std::to_string(handle) + " was never made");
    return entries_[handle - 1].routine;
}

ExtensionId CallbackRegistry::extension(HostCallback handle) const {
    if (!known(handle)) throw HostError("callback handle " + std::to_string(handle) + " was never made");
    return entries_[handle - 1].extension;
}

}  // namespace vellora
