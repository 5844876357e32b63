// SPDX-License-Identifier: AGPL-3.0-or-later
// Loading the plug-in module and the start-up conversation: PlugInMain,
// then the setup, handshake and initialisation routines.
#pragma once

#include "model/host.h"

#include <memory>
#include <string>

namespace vellora {

namespace system {
class Library;
}

// Raised when the module cannot be loaded or refuses a stage; the message
// names the module and the stage.
class ModuleError : public HostError {
public:
    using HostError::HostError;
};

// The handshake version the module at `path` agrees to when offered this
// host's, asked of its entry point alone (the module is not started).
// Throws ModuleError.
uint32_t ModuleHandshakeVersion(const std::string& path);

class LoadedModule {
public:
    LoadedModule();
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    // Runs the whole conversation. Throws ModuleError.
    void load(PluginSide& host, const std::string& path);
    bool loaded() const;
    const std::string& path() const { return path_; }

private:
    std::unique_ptr<system::Library> library_;
    std::string path_;
};

}  // namespace vellora
