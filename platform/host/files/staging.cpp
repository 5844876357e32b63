// SPDX-License-Identifier: AGPL-3.0-or-later
#include "files/staging.h"

#include "core/host_error.h"
#include "files/replacement_file.h"
#include "system/program.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace vellora {

std::string StagingTag(long pid) { return "vellora-" + std::to_string(pid); }

namespace staging {

namespace {

// ".pdf" of "out.pdf"; empty when the name has no extension.
std::string ExtensionOf(const std::string& baseName) {
    const auto dot = baseName.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? std::string() : baseName.substr(dot);
}

constexpr int kNamedSlots = 8;
char g_named[kNamedSlots][4096];
std::atomic<int> g_namedUsed[kNamedSlots];

std::vector<Staged>* g_held = nullptr;

}  // namespace

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of(system::kPathSeparators);
    if (slash == std::string::npos) return ".";
    if (slash == 0) return path.substr(0, 1);
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const auto slash = path.find_last_of(system::kPathSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string NameFor(const std::string& target, long pid, int k) {
    const std::string base = BaseNameOf(target);
    std::string tag = StagingTag(pid);
    if (k > 0) tag += "-" + std::to_string(k);
    return DirectoryOf(target) + "/." + base + "." + tag + ExtensionOf(base);
}

std::string MakeFreeName(const std::string& target, long pid, const std::function<int(const std::string&)>& make) {
    for (int k = 0;; ++k) {
        const std::string name = NameFor(target, pid, k);
        const int error = make(name);
        if (error == 0) {
            Remember(name);
            return name;
        }
        if (error != EEXIST) throw HostError(ErrorKind::OutputFile, target + ": cannot write: " + std::strerror(error));
    }
}

long OwnerOf(const char* name) {
    if (name[0] != '.') return 0;
    const char* tag = std::strstr(name, ".vellora-");
    if (!tag) return 0;
    char* end = nullptr;
    const long pid = std::strtol(tag + 9, &end, 10);
    if (end == tag + 9 || pid <= 0) return 0;
    if (*end == '-') {
        char* after = nullptr;
        std::strtol(end + 1, &after, 10);
        end = after;
    }
    return *end == '.' || *end == '\0' ? pid : 0;
}

void Remember(const std::string& name) {
    if (name.size() >= sizeof g_named[0]) return;
    for (int i = 0; i < kNamedSlots; ++i) {
        int expected = 0;
        if (g_namedUsed[i].load() == 0 && g_namedUsed[i].compare_exchange_strong(expected, 2)) {
            std::memcpy(g_named[i], name.c_str(), name.size() + 1);
            g_namedUsed[i].store(1);
            return;
        }
    }
}

void Forget(const std::string& name) {
    for (int i = 0; i < kNamedSlots; ++i)
        if (g_namedUsed[i].load() == 1 && name == g_named[i]) g_namedUsed[i].store(0);
}

void VisitRemembered(void (*visit)(const char* name)) {
    for (int i = 0; i < kNamedSlots; ++i)
        if (g_namedUsed[i].load() == 1) visit(g_named[i]);
}

bool Hold(const Staged& s) {
    if (!g_held) return false;
    g_held->push_back(s);
    return true;
}

}  // namespace staging

ReplacementFile::~ReplacementFile() {
    if (!committed_) {
        staging::Staged s{target_, name_, fd_};
        staging::Discard(s);
    }
}

void ReplacementFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const long n = staging::WriteSome(fd_, bytes.data(), bytes.size());
        if (n <= 0)
            throw HostError(ErrorKind::OutputFile, target_ + ": cannot write: " + std::strerror(n < 0 ? errno : EIO));
        bytes.remove_prefix(size_t(n));
    }
}

HeldCommits::HeldCommits() { staging::g_held = new std::vector<staging::Staged>(); }

HeldCommits::~HeldCommits() {
    // Latest first: appends to one file are cut back to the oldest length.
    for (auto s = staging::g_held->rbegin(); s != staging::g_held->rend(); ++s) staging::Discard(*s);
    delete staging::g_held;
    staging::g_held = nullptr;
}

size_t HeldCommits::count() const { return staging::g_held->size(); }

void HeldCommits::sendAll(int out, const std::string& name) {
    std::vector<staging::Staged>& held = *staging::g_held;
    std::vector<char> buffer(size_t(1) << 20);
    for (staging::Staged& s : held) {
        for (int64_t at = 0;;) {
            const long got = staging::ReadSome(s.fd, buffer.data(), buffer.size(), at);
            if (got < 0) throw HostError(ErrorKind::OutputFile, name + ": cannot write: " + std::strerror(errno));
            if (got == 0) break;
            for (long done = 0; done < got;) {
                const long n = staging::WriteSome(out, buffer.data() + done, size_t(got - done));
                if (n <= 0)
                    throw HostError(ErrorKind::OutputFile,
                                    name + ": cannot write: " + std::strerror(n < 0 ? errno : EIO));
                done += n;
            }
            at += got;
        }
    }
    for (staging::Staged& s : held) staging::Discard(s);
    held.clear();
}

void HeldCommits::commitAll() {
    std::vector<staging::Staged>& held = *staging::g_held;
    for (size_t i = 0; i < held.size(); ++i) {
        staging::Place(held[i]);
        staging::Discard(held[i]);
    }
    held.clear();
}

}  // namespace vellora
