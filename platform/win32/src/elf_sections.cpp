// SPDX-License-Identifier: AGPL-3.0-or-later
#include "elf_sections.h"

#include "byte_reader.h"

#include <vxwin32/standin.h>

#include <cstring>
#include <vector>

namespace vxwin32::detail {
namespace {

constexpr uint32_t kShtNobits = 8;
constexpr uint16_t kShnXindex = 0xFFFF;

struct SectionHeader {
    uint32_t name = 0;
    uint32_t type = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
    uint32_t link = 0;
};

// The layout of the two ELF classes: where the file header keeps the
// section table and how a section header is laid out.
struct ElfClass {
    bool wide;
    size_t shoffAt, shentsizeAt, shnumAt, shstrndxAt, minEntry;
};
constexpr ElfClass kElf32{false, 0x20, 0x2E, 0x30, 0x32, 40};
constexpr ElfClass kElf64{true, 0x28, 0x3A, 0x3C, 0x3E, 64};

[[noreturn]] void Malformed(const std::string& what) { throw Win32Error("malformed ELF file: " + what); }

SectionHeader ReadSectionHeader(std::span<const uint8_t> file, const ElfClass& elf, uint64_t at) {
    ByteReader r(file);
    r.Seek(at);
    SectionHeader h;
    h.name = r.U32();
    h.type = r.U32();
    if (elf.wide) {
        r.Skip(16);  // flags, address
        h.offset = r.U64();
        h.size = r.U64();
    } else {
        r.Skip(8);
        h.offset = r.U32();
        h.size = r.U32();
    }
    h.link = r.U32();
    if (!r.ok()) Malformed("section header outside the file");
    return h;
}

std::span<const uint8_t> Contents(std::span<const uint8_t> file, const SectionHeader& h) {
    if (h.type == kShtNobits) return {};
    if (h.offset > file.size() || h.size > file.size() - h.offset) Malformed("section outside the file");
    return file.subspan(static_cast<size_t>(h.offset), static_cast<size_t>(h.size));
}

}  // namespace

std::optional<std::span<const uint8_t>> FindElfSection(std::span<const uint8_t> file, std::string_view name) {
    if (file.size() < 16 || std::memcmp(file.data(),
                                        "\x7f"
                                        "ELF",
                                        4) != 0)
        throw Win32Error("not an ELF file");
    if (file[4] != 1 && file[4] != 2) Malformed("unknown class");
    if (file[5] != 1) throw Win32Error("big-endian ELF files are not supported");
    const ElfClass& elf = file[4] == 2 ? kElf64 : kElf32;

    ByteReader r(file);
    r.Seek(elf.shoffAt);
    const uint64_t shoff = elf.wide ? r.U64() : r.U32();
    r.Seek(elf.shentsizeAt);
    const uint16_t entSize = r.U16();
    uint64_t count = r.U16();
    uint32_t strIndex = r.U16();
    if (!r.ok()) Malformed("truncated header");
    if (shoff == 0) return std::nullopt;  // no section table at all
    if (entSize < elf.minEntry) Malformed("section header size too small");

    // Very large tables keep their true count and string-table index in
    // section 0.
    const SectionHeader first = ReadSectionHeader(file, elf, shoff);
    if (count == 0) count = first.size;
    if (strIndex == kShnXindex) strIndex = first.link;
    if (shoff > file.size() || count > (file.size() - shoff) / entSize) Malformed("section table outside the file");
    if (strIndex >= count) Malformed("bad section name table index");

    const auto names = Contents(file, ReadSectionHeader(file, elf, shoff + uint64_t{strIndex} * entSize));
    for (uint64_t i = 0; i < count; ++i) {
        const SectionHeader h = ReadSectionHeader(file, elf, shoff + i * entSize);
        if (h.name >= names.size()) Malformed("section name outside the name table");
        const auto rest = names.subspan(h.name);
        const void* end = std::memchr(rest.data(), 0, rest.size());
        if (!end) Malformed("unterminated section name");
        const std::string_view sectionName(reinterpret_cast<const char*>(rest.data()),
                                           static_cast<const uint8_t*>(end) - rest.data());
        if (sectionName == name) return Contents(file, h);
    }
    return std::nullopt;
}

}  // namespace vxwin32::detail
