// SPDX-License-Identifier: AGPL-3.0-or-later
#include "cli/interrupt.h"

#include "core/exit_status.h"
#include "files/replacement_file.h"
#include "script/script_runner.h"
#include "system/stop_request.h"

#include <csignal>
#include <cstdlib>

namespace vellora::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt() {
    if (g_interrupted != 0) {
        RemoveNamedStagingFilesNow();
        std::_Exit(kExitStopped);
    }
    g_interrupted = 1;
    RequestUserStop();
}

}  // namespace

void InstallInterruptHandler() { system::OnStopRequest(OnInterrupt); }

}  // namespace vellora::cli
