// The `vellora` program: the command line over the stand-in host.
#include "cli/command_line.h"
#include "script/script_runner.h"

#include <csignal>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace {

// First Ctrl-C: the user's stop request, which the plug-in honours at its
// next cancel check. A second one ends the process at once.
volatile std::sig_atomic_t g_interrupts = 0;

void OnInterrupt(int) {
    if (g_interrupts != 0) _exit(vellora::cli::kExitStopped);
    g_interrupts = 1;
    vellora::RequestUserStop();
}

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

// The module is built next to the program, wherever the two are run from.
std::string ModuleBesideProgram() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "libtrimvex.so";
    return (self.parent_path() / "libtrimvex.so").string();
}

}  // namespace

int main(int argc, char** argv) {
    InstallInterruptHandler();
    vellora::cli::Environment env;
    env.modulePath = ModuleBesideProgram();
    env.progressBar = isatty(STDERR_FILENO) != 0;
    std::vector<std::string> args(argv + 1, argv + argc);
    return vellora::cli::RunCommandLine(args, env);
}
