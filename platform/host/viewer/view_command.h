// SPDX-License-Identifier: AGPL-3.0-or-later
// `vellora view [FILE.pdf...] [--root DIR] [--port N] [--no-browser] [--zoom PERCENT]`:
// the stand-in host as an interactive viewer on a local web page.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace vellora::viewer {

struct ViewEnvironment {
    std::string modulePath;  // the plug-in module next to the executable
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
};

struct ViewOptions {
    std::vector<std::string> files;
    std::string root;  // File > Open's root; empty: the first file's folder
    int port = 0;      // 0: a free one
    bool openBrowser = true;
    double zoom = 100.0;
    bool help = false;
    // `host` lines for the bounding boxes: --margin, --ink-threshold,
    // --ignore-dark-edges, checked as the script checks them.
    std::vector<std::vector<std::string>> boxSettings;
};

// Throws UsageError with the message for a bad command line.
ViewOptions ParseViewOptions(const std::vector<std::string>& args);
// The command's usage lines (the first begins "vellora view"), as the
// program's usage text lists them, and its whole help.
std::vector<std::string> ViewSynopsis();
std::string ViewUsage();

// `args` begins with "view". Returns the exit status (core/exit_status.h):
// kExitOk after File > Quit, kExitStopped after Ctrl-C, kExitUsage for a bad
// command line or module, kExitFile for a file that cannot be opened,
// kExitFailed when the server cannot start.
int RunViewCommand(const std::vector<std::string>& args, const ViewEnvironment& env);

}  // namespace vellora::viewer
