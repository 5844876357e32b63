// SPDX-License-Identifier: AGPL-3.0-or-later
// Interned strings: the same text always gives the same atom.
#pragma once

#include "vx_types.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace vellora {

class AtomTable {
public:
    AtomTable();
    Atom intern(const std::string& text);
    // The text of an atom; throws HostError for an atom never given out.
    const std::string& text(Atom atom) const;
    bool known(Atom atom) const { return atom != 0 && atom < texts_.size(); }

private:
    std::vector<std::string> texts_;  // index 0 is never an atom
    std::unordered_map<std::string, Atom> byText_;
};

}  // namespace vellora
