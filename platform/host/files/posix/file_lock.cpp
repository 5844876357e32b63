// SPDX-License-Identifier: AGPL-3.0-or-later
// Files past 2 GB open in 32-bit builds too.
#define _FILE_OFFSET_BITS 64

#include "files/file_lock.h"

#include "core/host_error.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace vellora {

FileLock::FileLock(const std::string& path, bool wait, StopWaiting stop) {
    for (;;) {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return;  // nothing there yet (or nothing this process may read: its open says so)
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            close(fd);
            return;
        }
        if (held_locks::Has(uint64_t(st.st_dev), uint64_t(st.st_ino))) {
            close(fd);
            return;
        }
        while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) continue;
            if (errno != EWOULDBLOCK) {
                // A filesystem without locks: the stamp check still holds.
                close(fd);
                return;
            }
            if (!wait || (stop != nullptr && stop())) {
                close(fd);
                throw HostError(ErrorKind::OutputFile, path + ": is being changed by another vellora process");
            }
            const timespec pause{0, 20 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
        // Replaced while this process waited: the lock is on a file that
        // no longer has the name.
        struct stat now {};
        if (stat(path.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino) {
            fd_ = fd;
            device_ = uint64_t(st.st_dev);
            inode_ = uint64_t(st.st_ino);
            held_locks::Add(device_, inode_);
            return;
        }
        close(fd);
    }
}

FileLock::~FileLock() {
    if (fd_ < 0) return;
    held_locks::Remove(device_, inode_);
    close(int(fd_));
}

}  // namespace vellora
