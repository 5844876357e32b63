// SPDX-License-Identifier: AGPL-3.0-or-later
#include "script/script_runner.h"

#include "backend/document_backend.h"
#include "core/message_text.h"
#include "input/input_queue.h"
#include "script/interpreter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace vellora {

int RunHostScript(const std::string& scriptText, const std::string& scriptName, const ScriptRunOptions& options) {
    // A stop asked before the run started counts: the run ends before its
    // first line.
    std::ostream& err = options.err ? *options.err : std::cerr;
    if (!options.tracePath.empty()) {
        // A trace that cannot be written stops the run before anything happens.
        std::FILE* f = std::fopen(options.tracePath.c_str(), "wb");
        if (f == nullptr) {
            PrintMessage(err, options.tracePath + ": cannot write the trace: " + std::strerror(errno));
            return ExitStatusOf(ErrorKind::OutputFile);
        }
        std::fclose(f);
    }
    try {
        Interpreter interpreter(scriptName, options);
        return interpreter.run(scriptText);
    } catch (const std::exception& e) {
        PrintMessage(err, scriptName + ": " + e.what());
        return kExitFailed;
    }
}

OpenedDocument::~OpenedDocument() = default;

void RequestUserStop() { UserStopFlag().store(true); }

bool UserStopRequested() { return UserStopFlag().load(); }

}  // namespace vellora
