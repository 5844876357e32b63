// SPDX-License-Identifier: AGPL-3.0-or-later
// What each platform's replacement file shares: the names of staging files
// (`.NAME.vellora-PID.EXT` beside the target), the list of those a process
// holds for a handler that ends the process, and the commits a HeldCommits
// keeps back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vellora::staging {

std::string DirectoryOf(const std::string& path);
std::string BaseNameOf(const std::string& path);

// ".out.pdf.vellora-PID.pdf", or ".out.pdf.vellora-PID-K.pdf" for the K-th
// one a process has at once.
std::string NameFor(const std::string& target, long pid, int k);

// Tries the staging names of this process for `target` in turn: `make`
// returns 0 when it made the file at the name, EEXIST to try the next, or
// another errno value, which fails (HostError naming `target`). Returns the
// name, remembered.
std::string MakeFreeName(const std::string& target, long pid, const std::function<int(const std::string&)>& make);

// The process id in a staging file's name, or 0 when it is not one.
long OwnerOf(const char* name);

// Named staging files held now. Visit is async-signal-safe.
void Remember(const std::string& name);
void Forget(const std::string& name);
void VisitRemembered(void (*visit)(const char* name));

// A staging file on its way to its target, or an append in place (at
// appendedAt, the length to cut back to).
struct Staged {
    std::string target;
    std::string name;  // empty while unnamed
    int fd = -1;
    int64_t appendedAt = -1;
};

// The platform's: puts the file in place of its target (throws HostError);
// removes it, or cuts an append back, and closes it.
void Place(Staged& s);
void Discard(Staged& s);
// Writes some of the bytes; the count written, or -1 with errno set.
long WriteSome(int fd, const char* bytes, size_t size);
// Reads some of the staging file's bytes from `at` on; the count read (0 at
// its end), or -1 with errno set.
long ReadSome(int fd, char* bytes, size_t size, int64_t at);

// While a HeldCommits lives, keeps `s` for its commitAll and returns true.
bool Hold(const Staged& s);

}  // namespace vellora::staging
