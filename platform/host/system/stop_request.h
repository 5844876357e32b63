// SPDX-License-Identifier: AGPL-3.0-or-later
// The user's stop request from the terminal (Ctrl-C): SIGINT, or the
// console's control handler. The handler runs where the platform runs it
// (a signal handler, or a thread of the system's), so it may only do what is
// safe there.
#pragma once

namespace vellora::system {

using StopHandler = void (*)();
void OnStopRequest(StopHandler handler);

}  // namespace vellora::system
