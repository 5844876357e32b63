// SPDX-License-Identifier: AGPL-3.0-or-later
// The `vellora` program: the command line over the stand-in host, and the
// interactive viewer where the build has it.
#include "cli/command_line.h"
#include "cli/interrupt.h"
#include "system/program.h"

#ifdef VX_WITH_VIEWER
#include "viewer/view_command.h"
#endif

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

// The module is built next to the program, wherever the two are run from.
std::string ModuleBesideProgram() {
    const std::string folder = vellora::system::ProgramDirectory();
    if (folder.empty()) return vellora::system::kModuleFileName;
    return folder + "/" + vellora::system::kModuleFileName;
}

#ifdef VX_WITH_VIEWER
// `view` in the usage text and for `vellora help view`; it runs above.
vellora::cli::CommandRow ViewRow() {
    vellora::cli::CommandRow row;
    row.name = "view";
    row.synopsis = vellora::viewer::ViewSynopsis();
    row.help = vellora::viewer::ViewUsage();
    return row;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    vellora::system::UseBinaryStandardStreams();
    vellora::cli::InstallInterruptHandler();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "view") {
#ifdef VX_WITH_VIEWER
        vellora::viewer::ViewEnvironment view;
        view.modulePath = ModuleBesideProgram();
        return vellora::viewer::RunViewCommand(args, view);
#else
        std::cerr << "vellora: this build has no viewer (" VX_NO_VIEWER_REASON ")\n";
        return vellora::kExitUsage;
#endif
    }
    vellora::cli::Environment env;
    env.modulePath = ModuleBesideProgram();
    env.programVersion = VX_PROGRAM_VERSION;
    env.progressBar = vellora::system::StandardErrorIsTerminal();
#ifdef VX_WITH_VIEWER
    env.moreCommands.push_back(ViewRow());
#endif
    if (const char* password = std::getenv("VELLORA_PASSWORD")) env.passwordVariable = password;
    return vellora::cli::RunCommandLine(args, env);
}
