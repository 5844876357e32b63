// SPDX-License-Identifier: AGPL-3.0-or-later
#include "system/stop_request.h"

#include <csignal>

namespace vellora::system {

namespace {

StopHandler g_handler = nullptr;

void OnSignal(int) { g_handler(); }

}  // namespace

void OnStopRequest(StopHandler handler) {
    g_handler = handler;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Writes blocked on a slow terminal or pipe go on after the request.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace vellora::system
