// SPDX-License-Identifier: AGPL-3.0-or-later
// The standard compiled resource format (.res): a sequence of DWORD-aligned
// records, each a header (sizes, type, name, memory flags, language) and
// the resource's bytes. Files begin with an empty 32-byte record.
#pragma once

#include "resource_id.h"

#include <cstdint>
#include <span>
#include <vector>

namespace vxwin32::detail {

struct Resource {
    ResourceId type;
    ResourceId name;
    uint16_t language = 0;
    std::vector<uint8_t> data;
};

// Throws Win32Error (without a file name) when the data is malformed.
std::vector<Resource> ParseResFile(std::span<const uint8_t> bytes);

}  // namespace vxwin32::detail
