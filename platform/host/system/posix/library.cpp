// SPDX-License-Identifier: AGPL-3.0-or-later
#include "system/library.h"

#include <dlfcn.h>

namespace vellora::system {

bool Library::open(const std::string& path, std::string& why) {
    close();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ != nullptr) return true;
    const char* error = dlerror();
    why = error ? error : "unknown reason";
    return false;
}

void* Library::symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

void Library::close() {
    if (handle_ != nullptr) dlclose(handle_);
    handle_ = nullptr;
}

}  // namespace vellora::system
