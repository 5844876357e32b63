// SPDX-License-Identifier: AGPL-3.0-or-later
// Windows: the staging file is always a named one (the system has no
// unnamed files), created anew under a name no other process uses, and
// MoveFileExW(MOVEFILE_REPLACE_EXISTING) puts it in place of the target in
// one step. Files here get the folder's permissions, as new files do.
#include "files/replacement_file.h"

#include "core/host_error.h"
#include "files/staging.h"
#include "system/windows/wide_text.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vellora {

namespace {

[[noreturn]] void Fail(const std::string& target, const std::string& why) {
    throw HostError(ErrorKind::OutputFile, target + ": cannot write: " + why);
}

[[noreturn]] void FailErrno(const std::string& target, int error) { Fail(target, std::strerror(error)); }

std::string MakeName(const std::string& target, int& fd) {
    return staging::MakeFreeName(target, long(GetCurrentProcessId()), [&](const std::string& name) {
        fd = _wopen(system::Wide(name).c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
        return fd >= 0 ? 0 : errno;
    });
}

}  // namespace

namespace staging {

void Place(Staged& s) {
    if (s.fd >= 0) _close(s.fd);
    s.fd = -1;
    if (!MoveFileExW(system::Wide(s.name).c_str(), system::Wide(s.target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Fail(s.target, system::SystemErrorText(GetLastError()));
    staging::Forget(s.name);
    s.name.clear();
}

long WriteSome(int fd, const char* bytes, size_t size) {
    return _write(fd, bytes, unsigned(std::min<size_t>(size, 1u << 30)));
}

long ReadSome(int fd, char* bytes, size_t size, int64_t at) {
    if (_lseeki64(fd, at, SEEK_SET) < 0) return -1;
    return _read(fd, bytes, unsigned(std::min<size_t>(size, 1u << 30)));
}

void Discard(Staged& s) {
    if (s.fd >= 0) _close(s.fd);
    if (!s.name.empty()) {
        DeleteFileW(system::Wide(s.name).c_str());
        staging::Forget(s.name);
    }
    s = Staged{};
}

}  // namespace staging

// Staging is named here always.
void UseNamedStagingOnly(bool) {}

ReplacementFile::ReplacementFile(std::string target) : target_(std::move(target)) {
    if (target_.empty() || target_.back() == '/' || target_.back() == '\\') Fail(target_, "not a file name");
    name_ = MakeName(target_, fd_);
    temp_ = name_;
}

void ReplacementFile::copyFrom(int source, int64_t length) {
    std::vector<char> buffer(1 << 20);
    for (int64_t at = 0; at < length;) {
        if (_lseeki64(source, at, SEEK_SET) < 0) FailErrno(target_, errno);
        const unsigned want = unsigned(std::min<int64_t>(length - at, int64_t(buffer.size())));
        const int n = _read(source, buffer.data(), want);
        if (n <= 0) FailErrno(target_, n < 0 ? errno : EIO);
        write(std::string_view(buffer.data(), size_t(n)));
        at += n;
    }
}

void ReplacementFile::commit() {
    if (_commit(fd_) != 0) FailErrno(target_, errno);
    staging::Staged s{target_, name_, fd_};
    if (!staging::Hold(s)) {
        fd_ = -1;
        try {
            staging::Place(s);
        } catch (const HostError&) {
            staging::Discard(s);
            name_.clear();
            throw;
        }
    }
    fd_ = -1;
    name_.clear();
    committed_ = true;
}

FileStamp StampOf(int fd, const std::string& path) {
    struct _stat64 st {};
    if (_fstat64(fd, &st) != 0) throw HostError(ErrorKind::InputFile, path + ": cannot read: " + std::strerror(errno));
    FileStamp stamp;
    stamp.device = uint64_t(st.st_dev);
    stamp.size = int64_t(st.st_size);
    stamp.modified.tv_sec = st.st_mtime;
    return stamp;
}

// Appending in place needs a file's identity, which this build does not
// track: the caller writes the whole file instead.
FileStamp AppendInPlace(const std::string&, const FileStamp&, int64_t, std::string_view, std::string_view,
                        std::string_view) {
    return FileStamp{};
}

void RemoveNamedStagingFilesNow() {
    staging::VisitRemembered([](const char* name) { DeleteFileA(name); });
}

}  // namespace vellora
