// SPDX-License-Identifier: AGPL-3.0-or-later
// Finds a named section in an ELF file (32- or 64-bit, little-endian),
// which is where the module carries its compiled resources.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace vxwin32::detail {

// The contents of the section called `name`, or nullopt when the file has
// no such section. Throws Win32Error (without the file's name) when the
// bytes are not a well-formed little-endian ELF file.
std::optional<std::span<const uint8_t>> FindElfSection(std::span<const uint8_t> file, std::string_view name);

}  // namespace vxwin32::detail
