// SPDX-License-Identifier: AGPL-3.0-or-later
// Files written the safe way: a new file next to the target, renamed into
// place, so a failure leaves the target as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vellora {

// Throws HostError naming the file and the problem.
void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace vellora
