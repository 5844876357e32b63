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

// Throws std::invalid_argument with the message for a bad command line.
ViewOptions ParseViewOptions(const std::vector<std::string>& args);
std::string ViewUsage();

// `args` begins with "view". Returns the exit status: 0 after File > Quit,
// 130 after Ctrl-C, 2 for a bad command line or module, 3 for a file that
// cannot be opened, 1 when the server cannot start.
int RunViewCommand(const std::vector<std::string>& args, const ViewEnvironment& env);

}  // namespace vellora::viewer
