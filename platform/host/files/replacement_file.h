// Writing a file so that a failure never leaves it half-written: the new
// contents go to a fresh file in the target's directory, which is renamed
// over the target only once it is complete. Every file the host and the
// command line write goes this way.
#pragma once

#include <string>

namespace vellora {

class ReplacementFile {
public:
    // Reserves a new, empty temporary file next to `target`, with the
    // target's extension (writers pick the format by it). Throws HostError
    // (naming `target`) when the directory cannot take it.
    explicit ReplacementFile(std::string target);
    // Removes the temporary unless commit() succeeded.
    ~ReplacementFile();

    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    const std::string& tempPath() const { return temp_; }
    const std::string& target() const { return target_; }

    // Gives the temporary the target's permissions (or the usual ones for a
    // new file) and renames it into place. Throws HostError.
    void commit();

private:
    std::string target_;
    std::string temp_;
    bool committed_ = false;
};

}  // namespace vellora
