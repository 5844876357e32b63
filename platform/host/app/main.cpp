// The `vellora` program: the command line over the stand-in host.
#include "cli/command_line.h"
#include "cli/interrupt.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace {

// The module is built next to the program, wherever the two are run from.
std::string ModuleBesideProgram() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "libtrimvex.so";
    return (self.parent_path() / "libtrimvex.so").string();
}

}  // namespace

int main(int argc, char** argv) {
    vellora::cli::InstallInterruptHandler();
    vellora::cli::Environment env;
    env.modulePath = ModuleBesideProgram();
    env.progressBar = isatty(STDERR_FILENO) != 0;
    std::vector<std::string> args(argv + 1, argv + argc);
    return vellora::cli::RunCommandLine(args, env);
}
