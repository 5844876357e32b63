// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/trace.h"

#include "core/host_error.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>

namespace vellora {

Trace::Trace(const std::string& path) {
    if (path.empty()) return;
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr)
        throw HostError(ErrorKind::OutputFile, path + ": cannot write the trace: " + std::strerror(errno));
}

Trace::~Trace() {
    // Lines of operations cut short still say what was called.
    for (auto& line : pending_)
        if (!line) line = std::string("(unfinished)");
    flush();
    if (file_ != nullptr) std::fclose(file_);
}

size_t Trace::begin() {
    pending_.emplace_back(std::nullopt);
    return firstSlot_ + pending_.size() - 1;
}

void Trace::finish(size_t slot, const std::string& line) {
    if (slot < firstSlot_ || slot - firstSlot_ >= pending_.size()) return;
    pending_[slot - firstSlot_] = line;
    flush();
}

void Trace::flush() {
    size_t done = 0;
    while (done < pending_.size() && pending_[done]) {
        if (file_ != nullptr) {
            std::fputs(pending_[done]->c_str(), file_);
            std::fputc('\n', file_);
        }
        ++done;
    }
    if (done == 0) return;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(done));
    firstSlot_ += done;
    if (file_ != nullptr) std::fflush(file_);
}

namespace {
std::mutex g_namesLock;
std::deque<std::string> g_names;  // by number; a deque keeps references stable
}  // namespace

size_t OperationNumber(const char* operation) {
    std::lock_guard<std::mutex> lock(g_namesLock);
    for (size_t i = 0; i < g_names.size(); ++i)
        if (g_names[i] == operation) return i;
    g_names.emplace_back(operation);
    return g_names.size() - 1;
}

const std::string& OperationName(size_t number) {
    std::lock_guard<std::mutex> lock(g_namesLock);
    return g_names.at(number);
}

int Trace::count(const std::string& operation) const {
    for (size_t i = 0; i < counts_.size(); ++i)
        if (OperationName(i) == operation) return counts_[i];
    return 0;
}

}  // namespace vellora
