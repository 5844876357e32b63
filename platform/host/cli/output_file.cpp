#include "cli/output_file.h"

#include "backend/document_backend.h"
#include "cli/interrupt.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vellora::cli {

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

StagedOutput::StagedOutput(const std::string& target) : target_(target) {
    fs::path path(target);
    fs::path dir = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        throw HostError(target + ": directory " + dir.string() + " does not exist");
    }
    if (fs::is_directory(path, ec)) throw HostError(target + ": is a directory");
    // Keeps the target's extension: the host picks the format by it.
    staged_ = (dir / ("." + path.stem().string() + ".vellora-" + std::to_string(getpid()) +
                      path.extension().string()))
                  .string();
    SetInterruptCleanup(staged_.c_str());
}

StagedOutput::~StagedOutput() {
    SetInterruptCleanup(nullptr);
    if (!committed_) unlink(staged_.c_str());
}

void StagedOutput::commit() {
    if (rename(staged_.c_str(), target_.c_str()) != 0) {
        throw HostError(target_ + ": cannot write: " + std::strerror(errno));
    }
    committed_ = true;
}

}  // namespace vellora::cli
