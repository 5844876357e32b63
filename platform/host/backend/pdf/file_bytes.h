// SPDX-License-Identifier: AGPL-3.0-or-later
// The bytes of a file as it was read, fetched with pread a window at a time.
// Not mapped: a mapping of a file that another program cuts short ends the
// process (SIGBUS) at the first touch past the new end; a read here says so
// instead.
#pragma once

#include "core/host_error.h"

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vellora::pdf {

class FileBytes {
public:
    FileBytes(int fd, int64_t length, std::string path)
        : fd_(fd), length_(length), path_(std::move(path))
    {
    }
    int64_t length() const
    {
        return length_;
    }
    // The bytes from `at` on, `want` of them or up to the end; valid until
    // the next call. Throws HostError when the file no longer has them.
    std::string_view from(int64_t at, size_t want)
    {
        const size_t size = size_t(std::clamp<int64_t>(length_ - at, 0, int64_t(want)));
        window_.resize(size);
        for (size_t done = 0; done < size;) {
            const ssize_t n =
                pread(fd_, window_.data() + done, size - done, off_t(at + int64_t(done)));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw HostError(ErrorKind::InputFile,
                                path_ + ": cannot read: " + std::strerror(errno));
            if (n == 0)
                throw HostError(
                    ErrorKind::InputFile,
                    path_ + ": another program has cut the file short since it was read");
            done += size_t(n);
        }
        return window_;
    }

private:
    int fd_;
    int64_t length_;
    std::string path_;
    std::string window_;
};

}  // namespace vellora::pdf
