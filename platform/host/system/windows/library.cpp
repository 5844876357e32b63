// SPDX-License-Identifier: AGPL-3.0-or-later
#include "system/library.h"

#include "system/windows/wide_text.h"

#include <windows.h>

namespace vellora::system {

bool Library::open(const std::string& path, std::string& why) {
    close();
    handle_ = LoadLibraryW(Wide(path).c_str());
    if (handle_ != nullptr) return true;
    why = SystemErrorText(GetLastError());
    return false;
}

void* Library::symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void Library::close() {
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

}  // namespace vellora::system
