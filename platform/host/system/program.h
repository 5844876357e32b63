// SPDX-License-Identifier: AGPL-3.0-or-later
// What the program needs to know of the platform it runs on.
#pragma once

#include <string>

namespace vellora::system {

// The module's file name as the build makes it, beside the program.
extern const char* const kModuleFileName;

// The characters that end a folder's name in a path: "/", and "\\" too on
// Windows.
extern const char* const kPathSeparators;

// The folder of the running program; empty when it cannot be told.
std::string ProgramDirectory();

// Whether standard error is a terminal (the progress bar's choice).
bool StandardErrorIsTerminal();
// Whether standard output is one.
bool StandardOutputIsTerminal();

// This process's id.
long CurrentProcessId();

// Standard output and error write their bytes as given (no line-end
// translation), so that output is the same on every platform.
void UseBinaryStandardStreams();

}  // namespace vellora::system
