// SPDX-License-Identifier: AGPL-3.0-or-later
// Windows: LockFileEx on one byte far past any file's end. A lock there
// keeps other vellora processes out and, unlike a lock on the file's bytes,
// never stops a reader.
#include "files/file_lock.h"

#include "core/host_error.h"
#include "system/windows/wide_text.h"

#include <windows.h>

namespace vellora {

namespace {

constexpr DWORD kLockHigh = 0x7FFFFFFF;

bool Lock(HANDLE file) {
    OVERLAPPED at{};
    at.OffsetHigh = kLockHigh;
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

}  // namespace

FileLock::FileLock(const std::string& path, bool wait, StopWaiting stop) {
    HANDLE file =
        CreateFileW(system::Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(file);
        return;
    }
    const uint64_t device = info.dwVolumeSerialNumber;
    const uint64_t index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    if (held_locks::Has(device, index)) {
        CloseHandle(file);
        return;
    }
    while (!Lock(file)) {
        if (!wait || (stop != nullptr && stop())) {
            CloseHandle(file);
            throw HostError(ErrorKind::OutputFile, path + ": is being changed by another vellora process");
        }
        Sleep(20);
    }
    fd_ = intptr_t(file);
    device_ = device;
    inode_ = index;
    held_locks::Add(device_, inode_);
}

FileLock::~FileLock() {
    if (fd_ < 0) return;
    held_locks::Remove(device_, inode_);
    CloseHandle(HANDLE(fd_));
}

}  // namespace vellora
