// SPDX-License-Identifier: AGPL-3.0-or-later
#include "system/program.h"

#include <filesystem>
#include <system_error>

#include <unistd.h>

namespace vellora::system {

const char* const kPathSeparators = "/";
const char* const kModuleFileName = "libtrimvex.so";

std::string ProgramDirectory() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.parent_path().string();
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) != 0; }
bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

long CurrentProcessId() { return long(getpid()); }

void UseBinaryStandardStreams() {}

}  // namespace vellora::system
