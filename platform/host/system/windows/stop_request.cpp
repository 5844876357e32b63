// SPDX-License-Identifier: AGPL-3.0-or-later
#include "system/stop_request.h"

#include <windows.h>

namespace vellora::system {

namespace {

StopHandler g_handler = nullptr;

BOOL WINAPI OnControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    g_handler();
    return TRUE;
}

}  // namespace

void OnStopRequest(StopHandler handler) {
    g_handler = handler;
    SetConsoleCtrlHandler(OnControl, TRUE);
}

}  // namespace vellora::system
