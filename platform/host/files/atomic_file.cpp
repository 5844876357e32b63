// SPDX-License-Identifier: AGPL-3.0-or-later
#include "files/atomic_file.h"

#include "files/replacement_file.h"

namespace vellora {

void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    ReplacementFile file(path);
    file.write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    file.commit();
}

}  // namespace vellora
