// SPDX-License-Identifier: AGPL-3.0-or-later
// The trace: one line per host operation the plug-in calls, in the order of
// the calls. A line is reserved when the operation starts and completed with
// its result when it returns, so nested operations keep call order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace vellora {

// A number for an operation name, the same for the same text throughout the
// process: calls are counted by it, which costs less than hashing the name.
size_t OperationNumber(const char* operation);
// The name of a number OperationNumber gave.
const std::string& OperationName(size_t number);

class Trace {
public:
    // Empty path: calls are counted, no line is made.
    explicit Trace(const std::string& path);
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    // True when lines are written; without a file no line text is built.
    bool writing() const { return file_ != nullptr; }
    // Counts a call of the operation numbered by OperationNumber.
    void called(size_t operation) {
        if (operation >= counts_.size()) counts_.resize(operation + 1, 0);
        ++counts_[operation];
        ++total_;
    }
    // Reserves the line of an operation that starts now (only when writing).
    size_t begin();
    // Fills the reserved line; lines are written as soon as all before them are.
    void finish(size_t slot, const std::string& line);

    // Calls of an operation since the last resetCounts().
    int count(const std::string& operation) const;
    void resetCounts() { std::fill(counts_.begin(), counts_.end(), 0); }
    uint64_t total() const { return total_; }

private:
    void flush();
    std::FILE* file_ = nullptr;
    std::vector<std::optional<std::string>> pending_;
    size_t firstSlot_ = 0;     // slot number of pending_[0]
    std::vector<int> counts_;  // by operation number
    uint64_t total_ = 0;
};

}  // namespace vellora
