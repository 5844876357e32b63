// SPDX-License-Identifier: AGPL-3.0-or-later
// Running host scripts: the one way into the stand-in host, used by
// `vellora run` and by every command of the command line (which make a
// script on the fly).
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace vellora {

class DocumentBackend;

// A document the caller has opened already: the script's `open` of the
// same path takes it instead of reading the file again.
struct OpenedDocument {
    std::string path;
    std::unique_ptr<DocumentBackend> backend;
    std::vector<std::string> warnings;  // what opening it reported
    std::string password;               // what it was opened with, if anything
    ~OpenedDocument();
};

// Where and how a script run failed, for a caller that words the failure itself.
struct ScriptFailure {
    int line = 0;            // the line that failed, from 1; 0 before the first
    std::string unanswered;  // the plug-in's question no fitting answer was queued for, if any
};

struct ScriptRunOptions {
    std::string modulePath;                  // default module for `load` without an argument
    std::string tracePath;                   // empty: no trace
    std::ostream* out = nullptr;             // `print` output; std::cout when null
    std::ostream* err = nullptr;             // messages, warnings, progress; std::cerr when null
    bool progressBar = false;                // standard error is a terminal: progress as a bar
    bool verbose = false;                    // questions, answers and progress lines are shown too
    std::shared_ptr<OpenedDocument> opened;  // taken by the first `open` of its path
    ScriptFailure* failure = nullptr;        // filled in when the run fails
};

// Runs the script. Returns kExitOk when every line ran and every expectation
// held; otherwise prints one message naming the script, the line and the
// problem and returns the exit status of the failure (core/exit_status.h):
// kExitFailed a failed expectation or bad line, kExitUsage the module could
// not be loaded or refused to start, kExitFile a file could not be read or
// written, kExitStopped the user stopped the run (RequestUserStop).
int RunHostScript(const std::string& scriptText, const std::string& scriptName, const ScriptRunOptions& options);

// Asks the running script to stop as the user's stop request: the cancel
// check answers "stop" from now on, and the script ends with status 130
// after the command in progress, writing nothing further. Safe to call from
// a signal handler.
void RequestUserStop();
// True once the user asked to stop; a request is never taken back.
bool UserStopRequested();

}  // namespace vellora
