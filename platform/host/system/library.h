// SPDX-License-Identifier: AGPL-3.0-or-later
// Loading a module file and finding its entry point: the platform's own
// loader (dlopen, LoadLibraryW).
#pragma once

#include <string>

namespace vellora::system {

class Library {
public:
    Library() = default;
    // Unloading gives the next load in this process fresh module state.
    ~Library() { close(); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // False, with the loader's reason in `why`, when the file cannot be
    // loaded.
    bool open(const std::string& path, std::string& why);
    // The address of an exported function; null when there is none.
    void* symbol(const char* name) const;
    void close();
    bool isOpen() const { return handle_ != nullptr; }

private:
    void* handle_ = nullptr;
};

}  // namespace vellora::system
