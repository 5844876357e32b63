// SPDX-License-Identifier: AGPL-3.0-or-later
// Writing a file so that a failure, or a kill, never leaves it half-written
// and leaves nothing behind: the new contents go to an unnamed file in the
// target's directory (O_TMPFILE), which gets a name only once complete and
// is renamed over the target at once. Where the filesystem has no unnamed
// files, the staging file is named `.NAME.vellora-PID.EXT` (the process's
// id), and such files of processes no longer running are removed at the next
// write in that directory. Every file the host and the command line write
// goes this way.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace vellora {

class ReplacementFile {
public:
    // Makes the empty staging file for `target`. Throws HostError (naming
    // `target`) when the directory cannot take it.
    explicit ReplacementFile(std::string target);
    // Discards the staging file unless commit() succeeded.
    ~ReplacementFile();

    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Read-write descriptor of the staging file; valid until destruction.
    int fd() const { return fd_; }
    // A path that opens the staging file, for writers that take a name
    // (/proc/self/fd/N for an unnamed one); it ends in the target's
    // extension only when named.
    const std::string& tempPath() const { return temp_; }
    const std::string& target() const { return target_; }

    // Appends through fd(). Throws HostError.
    void write(std::string_view bytes);
    // Appends the first `length` bytes of `source` (any descriptor that can
    // be read at offsets), in the kernel where it can (copy_file_range, which
    // shares blocks on filesystems that can). Throws HostError.
    void copyFrom(int source, int64_t length);

    // Flushes the contents to disk, gives them the target's permissions (or
    // the usual ones for a new file) and puts them in place of the target.
    // While a HeldCommits lives, the last step waits for it. Throws HostError.
    void commit();

private:
    std::string target_;
    std::string temp_;
    std::string name_;  // the staging name while it has one
    int fd_ = -1;
    bool committed_ = false;
};

// Commits made while this lives reach their targets only when commitAll()
// is called: a run that writes several files, or fails after writing one,
// changes nothing on disk until it has succeeded. Staging files still held
// when it goes away are discarded. One at a time.
class HeldCommits {
public:
    HeldCommits();
    ~HeldCommits();
    HeldCommits(const HeldCommits&) = delete;
    HeldCommits& operator=(const HeldCommits&) = delete;

    // Files committed and held so far.
    size_t count() const;
    // Puts every held file in place, in the order committed. Throws
    // HostError, discarding the rest, when one cannot be.
    void commitAll();
    // Instead: writes the contents of every held file to the open
    // descriptor `out` (standard output), in the order committed, and
    // discards them; no target is changed. Throws HostError naming `name`.
    void sendAll(int out, const std::string& name);
};

// For tests: stage in named files only, as on a filesystem without unnamed
// files.
void UseNamedStagingOnly(bool named);

// A file as it was when read or last written: an append in place checks
// that nothing else has changed it since.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = -1;
    timespec modified{};
};
// Throws HostError naming `path`.
FileStamp StampOf(int fd, const std::string& path);

// Appends to the file at `path`, when it is still the one `stamp`
// describes, without copying it: `body`, blanks, and `tail` as the file's
// last bytes, written last in one write that stays within one page. Until
// then the file ends with `holding` (no longer than `tail`), so that a
// reader of a file whose writer was killed half-way finds the file as it
// was. The update goes at `at`, the end of the file's last complete
// update: bytes past it (what a killed append left, which nothing refers
// to) are cut off first. A failure cuts the file back to `at`; so does a
// HeldCommits that is not committed. Returns the file's new stamp, or a
// stamp of size -1 when the file is not as stamped or cannot be written in
// place (nothing done). Throws HostError.
FileStamp AppendInPlace(const std::string& path, const FileStamp& stamp, int64_t at, std::string_view body,
                        std::string_view tail, std::string_view holding);

// For a handler of a signal that ends the process: removes staging files
// that have a name. Async-signal-safe.
void RemoveNamedStagingFilesNow();

// The part of a staging name after ".NAME." and before the extension,
// for tests and the docs: "vellora-PID".
std::string StagingTag(long pid);

}  // namespace vellora
