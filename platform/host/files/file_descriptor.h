// SPDX-License-Identifier: AGPL-3.0-or-later
// A file descriptor owned alone: closed when its owner goes, handed on by
// moving.
#pragma once

#include <utility>

namespace vellora {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    // -1 when it holds none.
    int get() const { return fd_; }
    // Closes the descriptor held, if any.
    void reset();

private:
    int fd_ = -1;
};

}  // namespace vellora
