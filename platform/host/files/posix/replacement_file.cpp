// SPDX-License-Identifier: AGPL-3.0-or-later
// 64-bit offsets and inode numbers in 32-bit builds too: without them
// readdir() stops early on filesystems with large directory offsets.
#define _FILE_OFFSET_BITS 64

#include "files/replacement_file.h"

#include "core/host_error.h"
#include "files/staging.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vellora {

namespace {

mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return mode_t(0666) & ~mask;
}

[[noreturn]] void Fail(const std::string& target, int error) {
    throw HostError(ErrorKind::OutputFile, target + ": cannot write: " + std::strerror(error));
}

// Staging files left by processes that were killed.
void RemoveDeadStaging(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (const dirent* entry = readdir(d)) {
        const long pid = staging::OwnerOf(entry->d_name);
        if (pid > 0 && kill(pid_t(pid), 0) != 0 && errno == ESRCH) unlinkat(dirfd(d), entry->d_name, 0);
    }
    closedir(d);
}

// VELLORA_STAGING=named: as on a filesystem without unnamed files (tests).
bool g_namedOnly = [] {
    const char* mode = std::getenv("VELLORA_STAGING");
    return mode != nullptr && std::strcmp(mode, "named") == 0;
}();

// Creates the staging name of a named file, or links an unnamed one there.
std::string MakeName(const std::string& target, int fd, bool link) {
    return staging::MakeFreeName(target, long(getpid()), [&](const std::string& name) {
        int made = -1;
        if (link) {
            const std::string self = "/proc/self/fd/" + std::to_string(fd);
            made = linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
        } else {
            made = open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (made >= 0) close(made);
        }
        return made >= 0 ? 0 : errno;
    });
}

// What a file that is replaced passes on, so that it stays the user's file:
// its owner and group. A device, a FIFO or a socket is never replaced, nor a
// file with other names, which would keep the old contents.
void CheckReplaceable(const std::string& target, const struct stat& existing) {
    if (!S_ISREG(existing.st_mode))
        throw HostError(ErrorKind::OutputFile, target + ": cannot write: not a regular file");
    if (existing.st_nlink > 1) {
        throw HostError(ErrorKind::OutputFile,
                        target + ": cannot write it whole: it has " + std::to_string(existing.st_nlink) +
                            " hard links, which would keep the old contents (write to a new file with -o, then copy "
                            "that over it)");
    }
}

void KeepIdentity(const std::string& target, const struct stat& existing, int fd) {
    CheckReplaceable(target, existing);
    struct stat mine {};
    if (fstat(fd, &mine) != 0) Fail(target, errno);
    if ((mine.st_uid != existing.st_uid || mine.st_gid != existing.st_gid) &&
        fchown(fd, existing.st_uid, existing.st_gid) != 0) {
        throw HostError(
            ErrorKind::OutputFile,
            target + ": cannot write it whole: its owner and group could not be kept (" + std::strerror(errno) + ")");
    }
}

// Extended attributes, ACLs among them (system.posix_acl_access).
void CopyAttributes(const std::string& target, int fd) {
    std::vector<char> names(4096);
    ssize_t listed;
    while ((listed = listxattr(target.c_str(), names.data(), names.size())) < 0 && errno == ERANGE) {
        names.resize(names.size() * 4);
    }
    if (listed < 0) {
        if (errno == ENOTSUP) return;
        Fail(target, errno);
    }
    std::vector<char> value;
    for (const char* name = names.data(); name < names.data() + listed; name += std::strlen(name) + 1) {
        const ssize_t size = getxattr(target.c_str(), name, nullptr, 0);
        value.resize(size_t(std::max<ssize_t>(size, 1)));
        const ssize_t got = size < 0 ? -1 : getxattr(target.c_str(), name, value.data(), value.size());
        if (got < 0 || fsetxattr(fd, name, value.data(), size_t(got), 0) != 0) {
            throw HostError(ErrorKind::OutputFile, target + ": cannot write it whole: its extended attribute " + name +
                                                       " could not be kept (" + std::strerror(errno) + ")");
        }
    }
}

}  // namespace

namespace staging {

// Gives the staging file its place: a name first when it has none, then
// the rename, which is what readers of the target see at once.
void Place(Staged& s) {
    if (s.appendedAt >= 0) {
        s.appendedAt = -1;  // in place already; nothing to cut back now
        return;
    }
    if (s.name.empty()) s.name = MakeName(s.target, s.fd, true);
    if (rename(s.name.c_str(), s.target.c_str()) != 0) Fail(s.target, errno);
    staging::Forget(s.name);
    s.name.clear();
}

long WriteSome(int fd, const char* bytes, size_t size) {
    for (;;) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n >= 0 || errno != EINTR) return long(n);
    }
}

long ReadSome(int fd, char* bytes, size_t size, int64_t at) {
    for (;;) {
        const ssize_t n = pread(fd, bytes, size, off_t(at));
        if (n >= 0 || errno != EINTR) return long(n);
    }
}

void Discard(Staged& s) {
    if (s.appendedAt >= 0 && s.fd >= 0 && ftruncate(s.fd, off_t(s.appendedAt)) == 0) fsync(s.fd);
    if (!s.name.empty()) {
        unlink(s.name.c_str());
        staging::Forget(s.name);
    }
    if (s.fd >= 0) close(s.fd);
    s = Staged{};
}

}  // namespace staging

void UseNamedStagingOnly(bool named) { g_namedOnly = named; }

ReplacementFile::ReplacementFile(std::string target) : target_(std::move(target)) {
    if (target_.empty() || target_.back() == '/')
        throw HostError(ErrorKind::OutputFile, target_ + ": cannot write: not a file name");
    struct stat existing {};
    if (stat(target_.c_str(), &existing) == 0) CheckReplaceable(target_, existing);
    const std::string dir = staging::DirectoryOf(target_);
    RemoveDeadStaging(dir);
    const mode_t mode = NewFileMode();
    fd_ = g_namedOnly ? -1 : open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    if (fd_ >= 0) {
        temp_ = "/proc/self/fd/" + std::to_string(fd_);
        return;
    }
    if (!g_namedOnly && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) Fail(target_, errno);
    name_ = MakeName(target_, -1, false);
    fd_ = open(name_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        unlink(name_.c_str());
        staging::Forget(name_);
        Fail(target_, error);
    }
    temp_ = name_;
}

void ReplacementFile::copyFrom(int source, int64_t length) {
    loff_t at = 0;
    bool kernel = true;
    std::vector<char> buffer;
    while (at < length) {
        const size_t want = size_t(length - at);
        if (kernel) {
            const ssize_t n = copy_file_range(source, &at, fd_, nullptr, want, 0);
            if (n > 0) continue;
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                kernel = false;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            Fail(target_, n < 0 ? errno : EIO);
        }
        buffer.resize(1 << 20);
        const ssize_t n = pread(source, buffer.data(), std::min(want, buffer.size()), off_t(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail(target_, n < 0 ? errno : EIO);
        write(std::string_view(buffer.data(), size_t(n)));
        at += n;
    }
}

void ReplacementFile::commit() {
    struct stat existing {};
    const bool replaces = stat(target_.c_str(), &existing) == 0;
    if (replaces) KeepIdentity(target_, existing, fd_);
    const mode_t mode = replaces ? (existing.st_mode & 07777) : NewFileMode();
    if (fsync(fd_) != 0 || fchmod(fd_, mode) != 0) Fail(target_, errno);
    if (replaces) CopyAttributes(target_, fd_);
    staging::Staged s{target_, name_, fd_};
    if (!staging::Hold(s)) {
        try {
            staging::Place(s);
        } catch (const HostError&) {
            name_ = s.name;
            throw;
        }
        close(fd_);
    }
    fd_ = -1;
    name_.clear();
    committed_ = true;
}

namespace {

FileStamp StampOfStat(const struct stat& st) {
    return FileStamp{uint64_t(st.st_dev), uint64_t(st.st_ino), int64_t(st.st_size), st.st_mtim};
}

bool SameStamp(const FileStamp& a, const FileStamp& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
           a.modified.tv_nsec == b.modified.tv_nsec;
}

bool WriteAt(int fd, std::string_view bytes, int64_t at) {
    while (!bytes.empty()) {
        const ssize_t n = pwrite(fd, bytes.data(), bytes.size(), off_t(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(size_t(n));
        at += n;
    }
    return true;
}

}  // namespace

FileStamp StampOf(int fd, const std::string& path) {
    struct stat st {};
    if (fstat(fd, &st) != 0) throw HostError(ErrorKind::InputFile, path + ": cannot read: " + std::strerror(errno));
    return StampOfStat(st);
}

FileStamp AppendInPlace(const std::string& path, const FileStamp& stamp, int64_t at, std::string_view body,
                        std::string_view tail, std::string_view holding) {
    constexpr int64_t kPage = 4096;
    FileStamp none;
    if (holding.size() > tail.size() || tail.size() > size_t(kPage) || at < 0 || at > stamp.size) return none;
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return none;
    struct stat before {};
    if (fstat(fd, &before) != 0 || !SameStamp(StampOfStat(before), stamp)) {
        close(fd);
        return none;
    }
    // The tail's page: blanks after the body move it wholly into the next
    // page when it would straddle two.
    const int64_t length = at;
    int64_t tailAt = length + int64_t(body.size());
    if (tailAt / kPage != (tailAt + int64_t(tail.size()) - 1) / kPage) tailAt = (tailAt / kPage + 1) * kPage;
    const std::string blanks(size_t(tailAt - length - int64_t(body.size())), ' ');
    const std::string held = std::string(tail.size() - holding.size(), ' ') + std::string(holding);
    const bool nothing = body.empty() && tail.empty();
    // Killed once cut, the file is its last complete update, which is what
    // readers took it for.
    const bool cut = length == stamp.size || (ftruncate(fd, off_t(length)) == 0 && fdatasync(fd) == 0);
    const bool written = cut && (nothing || (WriteAt(fd, held, tailAt) && WriteAt(fd, body, length) &&
                                             WriteAt(fd, blanks, length + int64_t(body.size())) && fdatasync(fd) == 0 &&
                                             WriteAt(fd, tail, tailAt) && fsync(fd) == 0));
    struct stat st {};
    if (!written || fstat(fd, &st) != 0) {
        const int error = errno;
        if (ftruncate(fd, off_t(length)) == 0) fsync(fd);
        close(fd);
        Fail(path, error);
    }
    const FileStamp after = StampOfStat(st);
    if (!staging::Hold(staging::Staged{path, std::string(), fd, length})) close(fd);
    return after;
}

void RemoveNamedStagingFilesNow() {
    staging::VisitRemembered([](const char* name) { unlink(name); });
}

}  // namespace vellora
