// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/message_text.h"

#include <cstdint>
#include <cstdio>
#include <ostream>

namespace vellora {

namespace {

void AppendHex(std::string& out, const char* format, unsigned value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, format, value);
    out += buffer;
}

// The length of the well-formed UTF-8 sequence at `at` and its code point,
// or 0 when the bytes there are not one.
size_t DecodeUtf8(std::string_view text, size_t at, uint32_t& code) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    size_t length = 0;
    uint32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, code = lead & 0x1F, lowest = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, code = lead & 0x0F, lowest = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, code = lead & 0x07, lowest = 0x10000;
    else
        return 0;
    if (at + length > text.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < lowest || code > 0x10FFFF || surrogate ? 0 : length;
}

// C1 controls, line and paragraph separators, and the bidirectional
// embeddings, overrides and isolates that make text read other than it is.
bool IsFormatControl(uint32_t code) {
    return (code >= 0x80 && code <= 0x9F) || code == 0x2028 || code == 0x2029 || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069) || code == 0x200E || code == 0x200F || code == 0x061C;
}

}  // namespace

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        if (c < 0x80) {
            switch (c) {
            case '\0':
                out += "\\0";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                AppendHex(out, "\\x%02x", c);
                break;
            }
            ++i;
            continue;
        }
        uint32_t code = 0;
        const size_t length = DecodeUtf8(text, i, code);
        if (length == 0) {
            AppendHex(out, "\\x%02x", c);
            ++i;
        } else if (IsFormatControl(code)) {
            AppendHex(out, "\\u%04x", code);
            i += length;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

void PrintMessage(std::ostream& out, std::string_view line) { out << PrintableText(line) << '\n'; }

}  // namespace vellora
