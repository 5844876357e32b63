#include "files/replacement_file.h"

#include "core/host_error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vellora {

namespace {

std::string DirectoryOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ".pdf" of "out.pdf"; empty when the name has no extension.
std::string ExtensionOf(const std::string& baseName)
{
    const auto dot = baseName.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? std::string() : baseName.substr(dot);
}

mode_t NewFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return mode_t(0666) & ~mask;
}

}  // namespace

ReplacementFile::ReplacementFile(std::string target) : target_(std::move(target))
{
    if (target_.empty() || target_.back() == '/')
        throw HostError(target_ + ": cannot write: not a file name");
    const std::string base = BaseNameOf(target_);
    const std::string extension = ExtensionOf(base);
    std::string pattern = DirectoryOf(target_) + "/." + base + ".XXXXXX" + extension;
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemps(name.data(), int(extension.size()));
    if (fd < 0)
        throw HostError(target_ + ": cannot write: " + std::strerror(errno));
    close(fd);
    temp_ = name.data();
}

ReplacementFile::~ReplacementFile()
{
    if (!committed_)
        std::remove(temp_.c_str());
}

void ReplacementFile::commit()
{
    struct stat existing {};
    const mode_t mode = stat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)
                            ? (existing.st_mode & 07777)
                            : NewFileMode();
    if (chmod(temp_.c_str(), mode) != 0 || rename(temp_.c_str(), target_.c_str()) != 0)
        throw HostError(target_ + ": cannot write: " + std::strerror(errno));
    committed_ = true;
}

}  // namespace vellora
