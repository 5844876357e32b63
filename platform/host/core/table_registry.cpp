// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/table_registry.h"

namespace vellora {

void TableRegistry::publish(const std::string& name, const HostTable* table, const std::set<uint32_t>& versions) {
    tables_[name] = Entry{table, versions};
}

const HostTable* TableRegistry::find(const std::string& name, uint32_t version) const {
    auto found = tables_.find(name);
    if (found == tables_.end() || found->second.versions.count(version) == 0) return nullptr;
    return found->second.table;
}

std::set<uint32_t> VersionsUpTo(uint32_t highest) {
    std::set<uint32_t> versions;
    for (uint32_t v = VX_VERSION(highest >> 16, 0); v <= highest; ++v) versions.insert(v);
    return versions;
}

}  // namespace vellora
