// SPDX-License-Identifier: AGPL-3.0-or-later
#include "module_registry.h"

#include "elf_sections.h"
#include "handle_table.h"
#include "res_file.h"

#include <vxwin32/standin.h>

#include <fstream>
#include <iterator>

namespace vxwin32 {
namespace {

using detail::Resource;

constexpr uint16_t kEnglishUnitedStates = 1033;

struct Module {
    std::vector<Resource> resources;
};

detail::HandleTable<HINSTANCE, Module>& Modules() {
    static detail::HandleTable<HINSTANCE, Module> table(0x40000000);
    return table;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Win32Error(path + ": cannot be read");
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw Win32Error(path + ": cannot be read");
    return bytes;
}

// Runs a parser over a file's bytes; its errors come back naming the file.
template <typename Parse>
HINSTANCE RegisterParsed(const std::string& path, Parse parse) {
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    try {
        return Modules().Add(Module{parse(std::span<const uint8_t>(bytes))});
    } catch (const Win32Error& error) {
        throw Win32Error(path + ": " + error.what());
    }
}

}  // namespace

HINSTANCE RegisterModuleFile(const std::string& path) {
    return RegisterParsed(path, [](std::span<const uint8_t> bytes) {
        const auto section = detail::FindElfSection(bytes, ".rsrc");
        return section ? detail::ParseResFile(*section) : std::vector<Resource>{};
    });
}

HINSTANCE RegisterResFile(const std::string& path) {
    return RegisterParsed(path, [](std::span<const uint8_t> bytes) { return detail::ParseResFile(bytes); });
}

HINSTANCE RegisterResData(const std::vector<uint8_t>& bytes) {
    return Modules().Add(Module{detail::ParseResFile(std::span<const uint8_t>(bytes))});
}

void UnregisterModule(HINSTANCE module) { Modules().Remove(module); }

std::optional<std::vector<uint8_t>> FindResource(HINSTANCE module, uint16_t type, uint16_t name) {
    const auto* data = detail::FindResourceData(module, type, detail::ResourceId::Ordinal(name));
    if (!data) return std::nullopt;
    return *data;
}

namespace detail {

const std::vector<uint8_t>* FindResourceData(HINSTANCE module, uint16_t type, const ResourceId& name) {
    const Module* found = Modules().Find(module);
    if (!found) return nullptr;
    const Resource* best = nullptr;
    int bestRank = 3;
    for (const Resource& resource : found->resources) {
        if (!SameResourceId(ResourceId::Ordinal(type), resource.type) || !SameResourceId(name, resource.name)) continue;
        const int rank = resource.language == kEnglishUnitedStates ? 0 : resource.language == 0 ? 1 : 2;
        if (rank < bestRank) {
            best = &resource;
            bestRank = rank;
        }
    }
    return best ? &best->data : nullptr;
}

}  // namespace detail
}  // namespace vxwin32
