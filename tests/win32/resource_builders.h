// SPDX-License-Identifier: AGPL-3.0-or-later
// Builders for resource data in the platform's formats, written here from
// the format descriptions so that the stand-in's readers are checked
// against an independent writer.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace win32test {

using Bytes = std::vector<uint8_t>;

void PutU16(Bytes& out, uint32_t value);
void PutU32(Bytes& out, uint32_t value);
void PutText(Bytes& out, const std::string& ascii);  // UTF-16, zero-terminated

struct ControlLayout {
    std::string text;
    int id = 0;
    uint32_t style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint16_t classOrdinal = 0x80;  // BUTTON
};

struct DialogLayout {
    uint32_t style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::string title;
    uint16_t pointSize = 0;  // with DS_SETFONT
    std::string fontFace;
    std::vector<ControlLayout> controls;
};

// The Pages To Crop dialog as its template must be.
DialogLayout PagesToCropLayout();

Bytes BuildTemplate(const DialogLayout& layout);    // DLGTEMPLATE
Bytes BuildTemplateEx(const DialogLayout& layout);  // DLGTEMPLATEEX

struct ResourceEntry {
    uint16_t type = 0;
    std::variant<uint16_t, std::string> name;
    uint16_t language = 1033;
    Bytes data;
};

Bytes BuildRes(const std::vector<ResourceEntry>& resources);

// A little-endian ELF file (32- or 64-bit) holding the named sections.
struct SectionEntry {
    std::string name;
    Bytes data;
};
Bytes BuildElf(bool wide, const std::vector<SectionEntry>& sections);

// Writes the bytes to a fresh file under the build tree; returns its path.
std::string WriteTestFile(const std::string& stem, const Bytes& bytes);
Bytes ReadTestFile(const std::string& path);

// A module instance holding exactly these resources.
HINSTANCE RegisterResources(const std::vector<ResourceEntry>& resources);

}  // namespace win32test
