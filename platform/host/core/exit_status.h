// SPDX-License-Identifier: AGPL-3.0-or-later
// The exit statuses of `vellora` and every command of it (docs/command-line.md),
// and the kind of failure each one reports.
#pragma once

namespace vellora {

enum ExitStatus : int {
    kExitOk = 0,
    kExitFailed = 1,     // the run failed: a refused region, a failed script line
    kExitUsage = 2,      // bad command, option or option value (also: module not loadable)
    kExitFile = 3,       // a file could not be read or written (missing, damaged, encrypted)
    kExitStopped = 130,  // the user stopped the run (Ctrl-C)
};

// What went wrong, as the one who raises an error knows it.
enum class ErrorKind {
    Failed,           // an operation failed; the step that called it says more
    Usage,            // a bad command line, option or option value
    Module,           // the plug-in module could not be loaded or refused to start
    InputFile,        // a file could not be read (missing, not a file, unreadable)
    OutputFile,       // a file could not be written, or is in use by another process
    Damaged,          // a document damaged beyond repair, or not one at all
    PasswordMissing,  // an encrypted document opened without a password
    PasswordWrong,    // an encrypted document opened with the wrong password
    Permission,       // the document does not permit the change
    Stopped,          // the user stopped the run
    Internal,         // the host itself failed (out of memory, a broken invariant)
};

// The one table from a kind of failure to the exit status that reports it.
constexpr ExitStatus ExitStatusOf(ErrorKind kind) {
    switch (kind) {
    case ErrorKind::Usage:
    case ErrorKind::Module:
        return kExitUsage;
    case ErrorKind::InputFile:
    case ErrorKind::OutputFile:
    case ErrorKind::Damaged:
    case ErrorKind::PasswordMissing:
    case ErrorKind::PasswordWrong:
    case ErrorKind::Permission:
        return kExitFile;
    case ErrorKind::Stopped:
        return kExitStopped;
    case ErrorKind::Failed:
    case ErrorKind::Internal:
        return kExitFailed;
    }
    return kExitFailed;
}

}  // namespace vellora
