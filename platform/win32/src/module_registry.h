// SPDX-License-Identifier: AGPL-3.0-or-later
// Module instances and the resources they carry.
#pragma once

#include "resource_id.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace vxwin32::detail {

constexpr uint16_t kRtCursor = 1;
constexpr uint16_t kRtBitmap = 2;
constexpr uint16_t kRtDialog = 5;
constexpr uint16_t kRtGroupCursor = 12;

// The bytes of a module's resource, language 1033 preferred, then
// language-neutral, then any; nullptr when the module or resource is
// unknown. Valid while the module lives (modules live for the process).
const std::vector<uint8_t>* FindResourceData(HINSTANCE module, uint16_t type, const ResourceId& name);

}  // namespace vxwin32::detail
