// SPDX-License-Identifier: AGPL-3.0-or-later
#include "resource_builders.h"

#include "module/resource_ids.h"

#include <vxwin32/standin.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace win32test {
namespace {

constexpr uint32_t kDsSetFont = 0x40;

void Align4(Bytes& out) {
    while (out.size() % 4) out.push_back(0);
}

void PutId(Bytes& out, const std::variant<uint16_t, std::string>& id) {
    if (const auto* ordinal = std::get_if<uint16_t>(&id)) {
        PutU16(out, 0xFFFF);
        PutU16(out, *ordinal);
    } else {
        PutText(out, std::get<std::string>(id));
    }
}

void PutRect(Bytes& out, int16_t x, int16_t y, int16_t cx, int16_t cy) {
    for (int16_t v : {x, y, cx, cy}) PutU16(out, static_cast<uint16_t>(v));
}

void PutControlTail(Bytes& out, const ControlLayout& control) {
    PutU16(out, 0xFFFF);
    PutU16(out, control.classOrdinal);
    PutText(out, control.text);
    PutU16(out, 0);  // no creation data
}

}  // namespace

void PutU16(Bytes& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(Bytes& out, uint32_t value) {
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

void PutText(Bytes& out, const std::string& ascii) {
    for (char c : ascii) PutU16(out, static_cast<unsigned char>(c));
    PutU16(out, 0);
}

DialogLayout PagesToCropLayout() {
    return DialogLayout{0x80C800C0,
                        0,
                        0,
                        193,
                        95,
                        "Pages To Crop",
                        8,
                        "MS Sans Serif",
                        {
                            {"Current Page:", IDC_CURRENT_PAGE, 0x50030009, 7, 10, 104, 10},
                            {"All Pages:", IDC_ALL_PAGES, 0x50010009, 7, 25, 103, 10},
                            {"Odd Pages", IDC_ODD_PAGES, 0x50010009, 114, 10, 51, 10},
                            {"Even Pages", IDC_EVEN_PAGES, 0x50010009, 114, 25, 72, 10},
                            {"OK", 1, 0x50030000, 43, 74, 50, 14},
                            {"Cancel", 2, 0x50010000, 99, 74, 50, 14},
                        }};
}

Bytes BuildTemplate(const DialogLayout& layout) {
    Bytes out;
    PutU32(out, layout.style);
    PutU32(out, 0);
    PutU16(out, static_cast<uint32_t>(layout.controls.size()));
    PutRect(out, layout.x, layout.y, layout.cx, layout.cy);
    PutU16(out, 0);  // no menu
    PutU16(out, 0);  // the dialog class
    PutText(out, layout.title);
    if (layout.style & kDsSetFont) {
        PutU16(out, layout.pointSize);
        PutText(out, layout.fontFace);
    }
    for (const ControlLayout& control : layout.controls) {
        Align4(out);
        PutU32(out, control.style);
        PutU32(out, 0);
        PutRect(out, control.x, control.y, control.cx, control.cy);
        PutU16(out, static_cast<uint32_t>(control.id));
        PutControlTail(out, control);
    }
    return out;
}

Bytes BuildTemplateEx(const DialogLayout& layout) {
    Bytes out;
    PutU16(out, 1);
    PutU16(out, 0xFFFF);
    PutU32(out, 0);  // help id
    PutU32(out, 0);
    PutU32(out, layout.style);
    PutU16(out, static_cast<uint32_t>(layout.controls.size()));
    PutRect(out, layout.x, layout.y, layout.cx, layout.cy);
    PutU16(out, 0);
    PutU16(out, 0);
    PutText(out, layout.title);
    if (layout.style & kDsSetFont) {
        PutU16(out, layout.pointSize);
        PutU16(out, 400);  // weight
        out.push_back(0);  // italic
        out.push_back(1);  // character set
        PutText(out, layout.fontFace);
    }
    for (const ControlLayout& control : layout.controls) {
        Align4(out);
        PutU32(out, 0);
        PutU32(out, 0);
        PutU32(out, control.style);
        PutRect(out, control.x, control.y, control.cx, control.cy);
        PutU32(out, static_cast<uint32_t>(control.id));
        PutControlTail(out, control);
    }
    return out;
}

Bytes BuildRes(const std::vector<ResourceEntry>& resources) {
    Bytes out;
    // The empty record that opens every .res file.
    PutU32(out, 0);
    PutU32(out, 32);
    PutId(out, uint16_t{0});
    PutId(out, uint16_t{0});
    for (int i = 0; i < 16; ++i) out.push_back(0);
    for (const ResourceEntry& resource : resources) {
        Bytes header;
        PutId(header, resource.type);
        PutId(header, resource.name);
        Align4(header);
        PutU32(header, 0);  // data version
        PutU16(header, 0x1030);
        PutU16(header, resource.language);
        PutU32(header, 0);
        PutU32(header, 0);
        PutU32(out, static_cast<uint32_t>(resource.data.size()));
        PutU32(out, static_cast<uint32_t>(header.size() + 8));
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), resource.data.begin(), resource.data.end());
        Align4(out);
    }
    return out;
}

Bytes BuildElf(bool wide, const std::vector<SectionEntry>& sections) {
    const size_t headerSize = wide ? 64 : 52;
    const size_t entrySize = wide ? 64 : 40;
    auto putWord = [wide](Bytes& out, uint64_t value) {  // an address-sized field
        PutU32(out, static_cast<uint32_t>(value));
        if (wide) PutU32(out, static_cast<uint32_t>(value >> 32));
    };
    // Section 0 is the null section; the name table comes last.
    std::vector<SectionEntry> all{{"", {}}};
    all.insert(all.end(), sections.begin(), sections.end());
    Bytes names{0};
    std::vector<uint32_t> nameAt;
    for (SectionEntry& section : all) {
        nameAt.push_back(section.name.empty() ? 0 : static_cast<uint32_t>(names.size()));
        if (!section.name.empty()) names.insert(names.end(), section.name.begin(), section.name.end() + 1);
    }
    nameAt.push_back(static_cast<uint32_t>(names.size()));
    const std::string tableName = ".shstrtab";
    names.insert(names.end(), tableName.begin(), tableName.end() + 1);
    all.push_back({tableName, names});

    Bytes body;
    std::vector<size_t> offsets;
    for (const SectionEntry& section : all) {
        offsets.push_back(headerSize + body.size());
        body.insert(body.end(), section.data.begin(), section.data.end());
    }
    while ((headerSize + body.size()) % 8) body.push_back(0);
    const size_t tableAt = headerSize + body.size();

    Bytes out{0x7F, 'E', 'L', 'F', static_cast<uint8_t>(wide ? 2 : 1), 1, 1};
    out.resize(16, 0);
    PutU16(out, 3);              // shared object
    PutU16(out, wide ? 62 : 3);  // x86-64 or i386
    PutU32(out, 1);
    putWord(out, 0);  // entry
    putWord(out, 0);  // program headers
    putWord(out, tableAt);
    PutU32(out, 0);
    PutU16(out, static_cast<uint32_t>(headerSize));
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, static_cast<uint32_t>(entrySize));
    PutU16(out, static_cast<uint32_t>(all.size()));
    PutU16(out, static_cast<uint32_t>(all.size() - 1));
    out.insert(out.end(), body.begin(), body.end());
    for (size_t i = 0; i < all.size(); ++i) {
        PutU32(out, nameAt[i]);
        PutU32(out, i == 0 ? 0 : i + 1 == all.size() ? 3 : 1);  // null, string table, bits
        putWord(out, 0);                                        // flags
        putWord(out, 0);                                        // address
        putWord(out, i == 0 ? 0 : offsets[i]);
        putWord(out, all[i].data.size());
        PutU32(out, 0);
        PutU32(out, 0);
        putWord(out, 1);
        putWord(out, 0);
    }
    return out;
}

std::string WriteTestFile(const std::string& stem, const Bytes& bytes) {
    static int counter = 0;
    const std::filesystem::path dir = std::filesystem::path(VX_BINARY_DIR) / "test-work" / "win32";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / (stem + "-" + std::to_string(getpid()) + "-" + std::to_string(++counter))).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

Bytes ReadTestFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

HINSTANCE RegisterResources(const std::vector<ResourceEntry>& resources) {
    return vxwin32::RegisterResFile(WriteTestFile("resources.res", BuildRes(resources)));
}

}  // namespace win32test
