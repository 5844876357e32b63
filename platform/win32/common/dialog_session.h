// SPDX-License-Identifier: AGPL-3.0-or-later
// What the host gave for modal dialogs and what they left, shared by the
// stand-in's dialog manager and the one on the real window system.
#pragma once

#include <vxwin32/standin.h>

namespace vxwin32::detail {

struct DialogSession {
    DialogInputSource source;
    DialogObserver observer;
    std::optional<DialogState> last;
    std::exception_ptr inputError;
};

DialogSession& Session();

// Host callbacks must not throw through the module's frames: an observer's
// exception is dropped, an input source's is kept for the host (and counts
// as input run out).
void NotifyObserver(const DialogState& state, const char* event);
std::optional<DialogAction> AskInputSource(const DialogState& state);

}  // namespace vxwin32::detail
