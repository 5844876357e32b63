// SPDX-License-Identifier: AGPL-3.0-or-later
// Runs a host script in-process, as `vellora run` would, for the host tests.
#pragma once

#include "script/script_runner.h"

#include <sstream>
#include <string>

namespace vellora {

struct ScriptResult {
    int status;
    std::string out, err;
};

inline ScriptResult RunScript(const std::string& text) {
    std::ostringstream out, err;
    ScriptRunOptions options;
    options.out = &out;
    options.err = &err;
    int status = RunHostScript(text, "t.vscript", options);
    return ScriptResult{status, out.str(), err.str()};
}

}  // namespace vellora
