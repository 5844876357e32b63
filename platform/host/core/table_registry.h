// SPDX-License-Identifier: AGPL-3.0-or-later
// Tables published by name and version. A lookup succeeds only at a
// version the table is published at, exactly.
#pragma once

#include "vx_tables.h"

#include <map>
#include <set>
#include <string>

namespace vellora {

class TableRegistry {
public:
    // Publishes `table` under `name` at each of `versions` (replacing any
    // earlier publication of that name).
    void publish(const std::string& name, const HostTable* table, const std::set<uint32_t>& versions);
    const HostTable* find(const std::string& name, uint32_t version) const;
    bool has(const std::string& name) const { return tables_.count(name) != 0; }

private:
    struct Entry {
        const HostTable* table = nullptr;
        std::set<uint32_t> versions;
    };
    std::map<std::string, Entry> tables_;
};

// Every version from 2.0 up to `highest` within major version 2: what the
// host publishes unless configured otherwise.
std::set<uint32_t> VersionsUpTo(uint32_t highest);

}  // namespace vellora
