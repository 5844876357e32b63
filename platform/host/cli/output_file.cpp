// SPDX-License-Identifier: AGPL-3.0-or-later
#include "cli/output_file.h"

#include "core/host_error.h"
#include "system/program.h"

#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>
#include <system_error>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace vellora::cli {

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string ResolvedTarget(const std::string& output) {
    fs::path path(output);
    std::error_code ec;
    // Each link in a chain is read in turn; a dangling one ends it.
    for (int hops = 0; fs::is_symlink(path, ec); ++hops) {
        if (hops == 40)
            throw HostError(ErrorKind::OutputFile, output + ": too many levels of symbolic links");
        const fs::path next = fs::read_symlink(path, ec);
        if (ec)
            throw HostError(ErrorKind::OutputFile,
                            output + ": cannot read the symbolic link: " + ec.message());
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    if (path == fs::path(output)) return output;
    const fs::path dir = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    if (!fs::is_directory(dir, ec)) {
        throw HostError(ErrorKind::OutputFile, output + ": a symbolic link to " + path.string() +
                                                   ", whose directory " + dir.string() +
                                                   " does not exist");
    }
    return (fs::canonical(dir, ec) / path.filename()).string();
}

void CheckRegularTarget(const std::string& target, const std::string& given) {
    struct stat st {};
    if (stat(target.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return;
    const char* kind = S_ISCHR(st.st_mode)    ? "a character device"
                       : S_ISBLK(st.st_mode)  ? "a block device"
                       : S_ISFIFO(st.st_mode) ? "a FIFO"
#ifdef S_ISSOCK
                       : S_ISSOCK(st.st_mode) ? "a socket"
#endif
                                              : "not a regular file";
    const std::string through =
        target == given ? std::string() : " (through the link to " + target + ")";
    throw HostError(ErrorKind::OutputFile,
                    given + ": is " + kind + through + "; vellora writes only regular files");
}

bool ToStandardOutput(const std::string& output) { return output == "-"; }

std::string StandardOutputStandIn(const std::string& extension) {
    std::error_code ec;
    fs::path dir = fs::temp_directory_path(ec);
    if (ec) dir = ".";
    // A name nobody can foresee: what another user leaves at a name they
    // can (a FIFO, a link, a file they hold) would fail the run.
    std::random_device random;
    std::ostringstream name;
    name << "vellora-output-" << system::CurrentProcessId() << "-" << std::hex << random()
         << random() << extension;
    return (dir / name.str()).string();
}

void CheckStandardOutput() {
    if (system::StandardOutputIsTerminal()) {
        throw HostError(
            ErrorKind::OutputFile,
            "-o -: standard output is a terminal; send it to a file or a program (-o - > OUT), or "
            "name the file with -o OUT");
    }
}

std::string StagedOutput::CheckedTarget(const std::string& target) {
    fs::path path(target);
    fs::path dir = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        throw HostError(ErrorKind::OutputFile,
                        target + ": directory " + dir.string() + " does not exist");
    }
    if (fs::is_directory(path, ec))
        throw HostError(ErrorKind::OutputFile, target + ": is a directory");
    return target;
}

StagedOutput::StagedOutput(const std::string& target) : target_(CheckedTarget(target)) {}

void StagedOutput::commit() {
    if (held_.count() == 0) {
        throw HostError(ErrorKind::OutputFile,
                        target_ + ": cannot write: the run produced no output");
    }
    held_.commitAll();
}

void StagedOutput::send() {
    if (held_.count() == 0)
        throw HostError(ErrorKind::OutputFile, "standard output: the run produced no output");
    std::cout.flush();
    held_.sendAll(1, "standard output");  // descriptor 1 on every platform
}

}  // namespace vellora::cli
