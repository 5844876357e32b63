// SPDX-License-Identifier: AGPL-3.0-or-later
// A resource type or name as the resource formats write it: a 16-bit
// ordinal or a UTF-16 string (0xFFFF introduces the ordinal).
#pragma once

#include "byte_reader.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace vxwin32::detail {

struct ResourceId {
    bool isOrdinal = true;
    uint16_t ordinal = 0;
    std::u16string name;

    static ResourceId Ordinal(uint16_t value) { return ResourceId{true, value, {}}; }
    bool operator==(const ResourceId&) const = default;
};

// Reads an ordinal-or-string field; a lone zero word is the empty string.
ResourceId ReadResourceId(ByteReader& reader);

// The id a LoadXxxA caller means: MAKEINTRESOURCEA(n), "#n", or a name
// (names compare case-insensitively, as the resource compiler upper-cases
// them).
ResourceId ResourceIdFromArgument(LPCSTR name);
bool SameResourceId(const ResourceId& wanted, const ResourceId& stored);

// UTF-16 text from a resource, as the narrow (UTF-8) text the A functions use.
std::string NarrowText(const std::u16string& text);

}  // namespace vxwin32::detail
