// SPDX-License-Identifier: AGPL-3.0-or-later
// Module instances are the DLLs themselves, loaded by the system's loader:
// their resources are what the module's own calls find.
#include "native.h"

#include <algorithm>

namespace vxwin32 {
namespace native {

namespace {

std::vector<HINSTANCE>& Modules() {
    static std::vector<HINSTANCE> modules;
    return modules;
}

}  // namespace

std::string WindowText(HWND window) {
    std::wstring text(size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return Utf8(text);
}

const std::vector<HINSTANCE>& RegisteredModules() { return Modules(); }

}  // namespace native

HINSTANCE RegisterModuleFile(const std::string& path) {
    HMODULE module = LoadLibraryW(Wide(path).c_str());
    if (module == nullptr) throw Win32Error(path + ": cannot be loaded: " + SystemErrorText(GetLastError()));
    native::Modules().push_back(module);
    return module;
}

// Resource data outside a module file is the stand-in's alone: the system
// reads resources from loaded modules only.
HINSTANCE RegisterResFile(const std::string& path) {
    throw Win32Error(path + ": resource files are read from modules on this platform");
}

HINSTANCE RegisterResData(const std::vector<uint8_t>&) {
    throw Win32Error("resource data is read from modules on this platform");
}

void UnregisterModule(HINSTANCE module) {
    auto& modules = native::Modules();
    const auto found = std::find(modules.begin(), modules.end(), module);
    if (found == modules.end()) return;
    modules.erase(found);
    FreeLibrary(module);
}

std::optional<std::vector<uint8_t>> FindResource(HINSTANCE module, uint16_t type, uint16_t name) {
    const LPCWSTR typeId = MAKEINTRESOURCEW(type);
    const LPCWSTR nameId = MAKEINTRESOURCEW(name);
    HRSRC found = FindResourceExW(module, typeId, nameId, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (found == nullptr) found = FindResourceW(module, nameId, typeId);
    if (found == nullptr) return std::nullopt;
    HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(loaded));
    if (bytes == nullptr) return std::nullopt;
    return std::vector<uint8_t>(bytes, bytes + SizeofResource(module, found));
}

}  // namespace vxwin32
