// SPDX-License-Identifier: AGPL-3.0-or-later
#include "resource_id.h"

#include <charconv>
#include <cstring>

namespace vxwin32::detail {
namespace {

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace

ResourceId ReadResourceId(ByteReader& reader) {
    const size_t start = reader.pos();
    if (reader.U16() == 0xFFFF) return ResourceId::Ordinal(reader.U16());
    reader.Seek(start);
    return ResourceId{false, 0, reader.Utf16z()};
}

ResourceId ResourceIdFromArgument(LPCSTR name) {
    const auto value = reinterpret_cast<uintptr_t>(name);
    if (value >> 16 == 0) return ResourceId::Ordinal(static_cast<uint16_t>(value));
    const size_t length = std::strlen(name);
    if (name[0] == '#') {
        unsigned ordinal = 0;
        auto [end, ec] = std::from_chars(name + 1, name + length, ordinal);
        if (ec == std::errc() && end == name + length && ordinal <= 0xFFFF)
            return ResourceId::Ordinal(static_cast<uint16_t>(ordinal));
    }
    // Resource names are plain ASCII in practice; bytes pass through.
    std::u16string wide;
    for (size_t i = 0; i < length; ++i) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(name[i])));
    return ResourceId{false, 0, wide};
}

bool SameResourceId(const ResourceId& wanted, const ResourceId& stored) {
    if (wanted.isOrdinal || stored.isOrdinal)
        return wanted.isOrdinal == stored.isOrdinal && wanted.ordinal == stored.ordinal;
    if (wanted.name.size() != stored.name.size()) return false;
    for (size_t i = 0; i < wanted.name.size(); ++i)
        if (UpperAscii(wanted.name[i]) != UpperAscii(stored.name[i])) return false;
    return true;
}

std::string NarrowText(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;  // an unpaired surrogate
        }
        AppendUtf8(out, code);
    }
    return out;
}

}  // namespace vxwin32::detail
