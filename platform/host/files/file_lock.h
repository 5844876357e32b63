// SPDX-License-Identifier: AGPL-3.0-or-later
// One writer at a time: a vellora process that is about to change a file
// holds a lock on it from before it reads the file until its save is done,
// and a second process refuses at once (or waits, when asked). The lock is
// advisory (flock on POSIX): programs that take none are caught instead by
// the check that a file is still the one read (FileStamp) before it is
// written.
#pragma once

#include <cstdint>
#include <string>

namespace vellora {

class FileLock {
public:
    // Asked now and then while waiting; true ends the wait (HostError).
    using StopWaiting = bool (*)();

    // Locks the file at `path` for this process; a path that names no file
    // yet takes no lock. A file this process has locked already is not
    // locked again (the first lock lasts). Throws HostError naming `path`
    // ("is being changed by another vellora process") when another process
    // holds it, unless `wait`: then waits until it is free or `stop` says so.
    FileLock(const std::string& path, bool wait = false, StopWaiting stop = nullptr);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // True while this object holds a lock of its own (not a nested one).
    bool held() const { return fd_ >= 0; }

private:
    intptr_t fd_ = -1;  // a descriptor, or a Windows handle
    uint64_t device_ = 0;
    uint64_t inode_ = 0;
};

// Each platform's FileLock keeps here the files this process holds locked,
// by identity: a second lock on one of them, through another descriptor,
// would wait for this process itself.
namespace held_locks {
bool Has(uint64_t device, uint64_t inode);
void Add(uint64_t device, uint64_t inode);
void Remove(uint64_t device, uint64_t inode);
}  // namespace held_locks

}  // namespace vellora
