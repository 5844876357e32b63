// SPDX-License-Identifier: AGPL-3.0-or-later
#include "loader/module_loader.h"

#include "interface/tables.h"

#include "system/library.h"

#include <vxwin32/standin.h>

#include <cstring>

namespace vellora {

namespace {

std::string HexText(uint32_t v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%X", v);
    return buffer;
}

// What the host puts in the bytes of the handshake record it keeps.
constexpr uint8_t kReserved[6] = {'V', 'X', 'H', 'S', 0, 1};

}  // namespace

uint32_t ModuleHandshakeVersion(const std::string& path) {
    system::Library library;
    std::string why;
    if (!library.open(path, why)) throw ModuleError("module " + path + ": cannot be loaded: " + why);
    auto entry = reinterpret_cast<PlugInMainProc>(library.symbol(VX_ENTRY_POINT_NAME));
    uint32_t agreed = 0;
    const bool ok = entry != nullptr && entry(VX_HANDSHAKE_VERSION, &agreed, nullptr, nullptr) != 0;
    library.close();
    if (!ok) throw ModuleError("module " + path + ": its entry point " VX_ENTRY_POINT_NAME " refused");
    return agreed;
}

LoadedModule::LoadedModule() : library_(std::make_unique<system::Library>()) {}

LoadedModule::~LoadedModule() = default;

bool LoadedModule::loaded() const { return library_->isOpen(); }

void LoadedModule::load(PluginSide& host, const std::string& path) {
    if (loaded()) throw ModuleError("a module is loaded already (" + path_ + ")");
    path_ = path;
    auto refuse = [&](const std::string& why) { throw ModuleError("module " + path + ": " + why); };

    const HostConfig& c = host.config();
    RECT frame{c.windowLeft, c.windowTop, c.windowRight, c.windowBottom};
    HWND mainWindow = vxwin32::CreateTopLevelWindow("Vellora", frame);
    HINSTANCE instance = nullptr;
    try {
        instance = vxwin32::RegisterModuleFile(path);
    } catch (const std::exception& e) {
        refuse(std::string("cannot read its resources: ") + e.what());
    }

    std::string why;
    if (!library_->open(path, why)) refuse("cannot be loaded: " + why);
    auto entry = reinterpret_cast<PlugInMainProc>(library_->symbol(VX_ENTRY_POINT_NAME));
    if (entry == nullptr) refuse("it has no entry point " VX_ENTRY_POINT_NAME);

    StartRecord start{reinterpret_cast<HostWindowHandle>(mainWindow), reinterpret_cast<HostModuleHandle>(instance)};
    uint32_t agreed = 0;
    SetupProc setup = nullptr;
    if (entry(c.handshakeVersion, &agreed, &setup, &start) == 0)
        refuse("refused the entry stage (" VX_ENTRY_POINT_NAME ") for handshake version " +
               HexText(c.handshakeVersion));
    if (setup == nullptr) refuse(VX_ENTRY_POINT_NAME " gave no setup routine");
    host.noteAgreedVersion(agreed);

    PublishTables(host);
    SetupRecord record{agreed, host.extensionId(), &CoreTableInstance(), VX_NO_CALLBACK};
    bool ok = setup(agreed, &record) != 0;
    if (auto e = host.takePluginError()) refuse("failed in the setup stage: " + e->message);
    if (!ok) refuse("refused the setup stage (handshake version " + HexText(agreed) + ")");
    if (record.handshake == VX_NO_CALLBACK) refuse("gave no handshake routine in the setup stage");

    HandshakeRecord hs{};
    std::memcpy(hs.hostReserved, kReserved, sizeof kReserved);
    try {
        ok = host.call<HandshakeProc>(record.handshake, agreed, &hs) != 0;
    } catch (const HostError& e) {
        refuse(std::string("gave a bad handshake routine: ") + e.what());
    }
    if (auto e = host.takePluginError()) refuse("failed in the handshake stage: " + e->message);
    if (!ok) refuse("refused the handshake stage (handshake version " + HexText(agreed) + ")");
    if (std::memcmp(hs.hostReserved, kReserved, sizeof kReserved) != 0)
        refuse("overwrote the host's part of the handshake record (offsets 0 to 5)");
    if (hs.initialize == VX_NO_CALLBACK) refuse("gave no initialisation routine in the handshake stage");

    try {
        ok = host.call<InitializeProc>(hs.initialize) != 0;
    } catch (const HostError& e) {
        refuse(std::string("gave a bad initialisation routine: ") + e.what());
    }
    if (auto e = host.takePluginError()) refuse("failed in the initialisation stage: " + e->message);
    if (!ok) refuse("refused the initialisation stage");
}

}  // namespace vellora
