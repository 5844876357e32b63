#include "cli/interrupt.h"

#include "cli/command_line.h"
#include "files/replacement_file.h"
#include "script/script_runner.h"

#include <csignal>

#include <unistd.h>

namespace vellora::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    if (g_interrupted != 0) {
        RemoveNamedStagingFilesNow();
        _exit(kExitStopped);
    }
    g_interrupted = 1;
    RequestUserStop();
}

}  // namespace

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Writes blocked on a slow terminal or pipe go on after the request.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace vellora::cli
