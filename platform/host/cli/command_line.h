// SPDX-License-Identifier: AGPL-3.0-or-later
// The `vellora` command line: `run SCRIPT` and the page commands of the
// command table (cli/command_table.h), each of which becomes a host script.
#pragma once

#include "cli/command_table.h"
#include "core/exit_status.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace vellora::cli {

struct Environment {
    std::string modulePath;  // the plug-in module next to the executable
    std::string programVersion;
    bool progressBar = false;                     // standard error is a terminal
    std::optional<std::string> passwordVariable;  // VELLORA_PASSWORD, when set
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
    // Commands the program runs elsewhere (`view`), listed in the usage and
    // answering --help here.
    std::vector<CommandRow> moreCommands;
};

// Runs one command line (without the program name) and returns its exit status.
int RunCommandLine(const std::vector<std::string>& args, const Environment& env);

}  // namespace vellora::cli
