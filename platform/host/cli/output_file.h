// Where a command's result goes: never onto its input by accident, and never
// half-written. The run writes a staging file beside the target, which is
// renamed into place only when the whole run succeeded.
#pragma once

#include "files/replacement_file.h"

#include <string>

namespace vellora::cli {

// True when both paths name one file: the same path once resolved, or hard
// links to the same inode. A path that does not exist names no file.
bool SameFile(const std::string& a, const std::string& b);

class StagedOutput {
public:
    // Picks the staging name in the target's directory; throws HostError
    // when that directory does not exist or the target is a directory.
    explicit StagedOutput(const std::string& target);
    ~StagedOutput();
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;

    const std::string& path() const { return file_.tempPath(); }
    // Renames the staging file onto the target; throws HostError, leaving
    // the target as it was, when the run wrote nothing into it.
    void commit();

private:
    static std::string CheckedTarget(const std::string& target);

    ReplacementFile file_;
};

}  // namespace vellora::cli
