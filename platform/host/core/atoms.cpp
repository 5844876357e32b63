// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/atoms.h"

#include "core/host_error.h"

namespace vellora {

AtomTable::AtomTable() : texts_(1) {}

Atom AtomTable::intern(const std::string& text) {
    auto found = byText_.find(text);
    if (found != byText_.end()) return found->second;
    if (texts_.size() > 0xFFFF) throw HostError("the atom table is full (65535 atoms)");
    Atom atom = static_cast<Atom>(texts_.size());
    texts_.push_back(text);
    byText_.emplace(text, atom);
    return atom;
}

const std::string& AtomTable::text(Atom atom) const {
    if (!known(atom)) throw HostError("atom " + std::to_string(atom) + " was never given out");
    return texts_[atom];
}

}  // namespace vellora
