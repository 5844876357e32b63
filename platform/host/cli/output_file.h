// SPDX-License-Identifier: AGPL-3.0-or-later
// Where a command's result goes: never onto its input by accident, and never
// half-written. The run writes its target through the host's one file
// writer, whose commits are held until the whole run succeeded.
#pragma once

#include "files/replacement_file.h"

#include <string>

namespace vellora::cli {

// True when both paths name one file: the same path once resolved, or hard
// links to the same inode. A path that does not exist names no file.
bool SameFile(const std::string& a, const std::string& b);

// The file a result is written to: `output` itself, or, when it is a
// symbolic link, the file the link names (followed to the end of a chain),
// so that the link stays a link. A dangling link names a file to be made;
// throws HostError when that file's directory does not exist.
std::string ResolvedTarget(const std::string& output);

// Throws HostError, naming `given` (the -o as the user wrote it), when
// `target` exists and is not a regular file: a device, a FIFO or a socket
// is never replaced by the result, and never written to.
void CheckRegularTarget(const std::string& target, const std::string& given);

// `-o -`: the result goes to standard output. It is made as a file would be,
// for a stand-in target in the temporary directory (a name of its own that
// nobody can foresee, ending in `extension`) that never gets the name, and
// sent when the run succeeded.
bool ToStandardOutput(const std::string& output);
std::string StandardOutputStandIn(const std::string& extension);
// Throws HostError when standard output is a terminal: a PDF or PNG file is
// no text to show there.
void CheckStandardOutput();

class StagedOutput {
public:
    // Throws HostError when the target's directory does not exist or the
    // target is a directory. Files written while it lives wait for commit().
    explicit StagedOutput(const std::string& target);
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;

    // The path the run writes to.
    const std::string& path() const { return target_; }
    // Puts what the run wrote in place; throws HostError, leaving the
    // target as it was, when the run wrote nothing.
    void commit();
    // Instead: sends what the run wrote to standard output.
    void send();

private:
    static std::string CheckedTarget(const std::string& target);

    std::string target_;
    HeldCommits held_;
};

}  // namespace vellora::cli
