#include "core/trace.h"

#include "core/host_error.h"

#include <cerrno>
#include <cstring>

namespace vellora {

Trace::Trace(const std::string& path) {
    if (path.empty()) return;
    file_ = std::fopen(path.c_str(), "w");
    if (file_ == nullptr) throw HostError(path + ": cannot write the trace: " + std::strerror(errno));
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

int Trace::count(const std::string& operation) const {
    auto found = counts_.find(operation);
    return found == counts_.end() ? 0 : found->second;
}

}  // namespace vellora
