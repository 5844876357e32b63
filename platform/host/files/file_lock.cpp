// SPDX-License-Identifier: AGPL-3.0-or-later
#include "files/file_lock.h"

#include <mutex>
#include <set>
#include <utility>

namespace vellora::held_locks {

namespace {

std::mutex g_mutex;
std::set<std::pair<uint64_t, uint64_t>> g_held;

}  // namespace

bool Has(uint64_t device, uint64_t inode) {
    std::lock_guard<std::mutex> guard(g_mutex);
    return g_held.count({device, inode}) != 0;
}

void Add(uint64_t device, uint64_t inode) {
    std::lock_guard<std::mutex> guard(g_mutex);
    g_held.insert({device, inode});
}

void Remove(uint64_t device, uint64_t inode) {
    std::lock_guard<std::mutex> guard(g_mutex);
    g_held.erase({device, inode});
}

}  // namespace vellora::held_locks
