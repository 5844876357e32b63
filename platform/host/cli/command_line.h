// SPDX-License-Identifier: AGPL-3.0-or-later
// The `vellora` command line: `run SCRIPT` and the page commands (crop,
// bbox, reset, boxes, show), each of which becomes a host script.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace vellora::cli {

// Exit statuses of the command line (docs/command-line.md).
enum ExitStatus : int {
    kExitOk = 0,
    kExitFailed = 1,     // the run failed: a refused region, a failed script line
    kExitUsage = 2,      // bad command, option or option value (also: module not loadable)
    kExitFile = 3,       // a file could not be read or written (missing, damaged, encrypted)
    kExitStopped = 130,  // the user stopped the run (Ctrl-C)
};

struct Environment {
    std::string modulePath;  // the plug-in module next to the executable
    std::string programVersion;
    bool progressBar = false;                     // standard error is a terminal
    std::optional<std::string> passwordVariable;  // VELLORA_PASSWORD, when set
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
};

// Runs one command line (without the program name) and returns its exit status.
int RunCommandLine(const std::vector<std::string>& args, const Environment& env);

// The usage text printed for a bad command line.
std::string UsageText();

// One command's usage and options; empty for a word that names no command.
std::string CommandHelp(const std::string& command);

}  // namespace vellora::cli
