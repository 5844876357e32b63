// SPDX-License-Identifier: AGPL-3.0-or-later
#include "res_file.h"

#include <vxwin32/standin.h>

namespace vxwin32::detail {

std::vector<Resource> ParseResFile(std::span<const uint8_t> bytes) {
    std::vector<Resource> resources;
    ByteReader r(bytes);
    while (r.remaining() > 0) {
        const size_t start = r.pos();
        const std::string where = " (record at byte " + std::to_string(start) + ")";
        const uint32_t dataSize = r.U32();
        const uint32_t headerSize = r.U32();
        Resource resource;
        resource.type = ReadResourceId(r);
        resource.name = ReadResourceId(r);
        r.Align(4);
        r.Skip(4 + 2);  // data version, memory flags
        resource.language = r.U16();
        r.Skip(4 + 4);  // version, characteristics
        if (!r.ok()) throw Win32Error("malformed resource data: truncated header" + where);
        if (r.pos() - start > headerSize) throw Win32Error("malformed resource data: header size too small" + where);
        r.Seek(uint64_t{start} + headerSize);
        const auto data = r.Bytes(dataSize);
        if (!r.ok()) throw Win32Error("malformed resource data: resource runs past the end" + where);
        // The empty record (type 0) opens every file and marks nothing.
        if (!(resource.type.isOrdinal && resource.type.ordinal == 0)) {
            resource.data.assign(data.begin(), data.end());
            resources.push_back(std::move(resource));
        }
        // Records are DWORD-aligned; the padding after the last may be missing.
        const size_t next = (r.pos() + 3) / 4 * 4;
        if (next >= r.size()) break;
        r.Seek(next);
    }
    return resources;
}

}  // namespace vxwin32::detail
