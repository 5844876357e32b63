// The `vellora` program: the command line over the stand-in host, and the
// interactive viewer where the build has it.
#include "cli/command_line.h"
#include "cli/interrupt.h"

#ifdef VX_WITH_VIEWER
#include "viewer/view_command.h"
#endif

#include <cstdlib>
#include <filesystem>
#include <iostream>
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
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "view") {
#ifdef VX_WITH_VIEWER
        vellora::viewer::ViewEnvironment view;
        view.modulePath = ModuleBesideProgram();
        return vellora::viewer::RunViewCommand(args, view);
#else
        std::cerr << "vellora: this build has no viewer (it needs PDF support and cpp-httplib)\n";
        return vellora::cli::kExitUsage;
#endif
    }
    vellora::cli::Environment env;
    env.modulePath = ModuleBesideProgram();
    env.programVersion = VX_PROGRAM_VERSION;
    env.progressBar = isatty(STDERR_FILENO) != 0;
    if (const char* password = std::getenv("VELLORA_PASSWORD")) env.passwordVariable = password;
    return vellora::cli::RunCommandLine(args, env);
}
