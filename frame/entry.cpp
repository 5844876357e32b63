// SPDX-License-Identifier: AGPL-3.0-or-later
// The start-up conversation with the host: entry point, setup (service
// tables), handshake and initialisation.
#include <type_traits>

#include "frame/commands.h"
#include "module/module_state.h"
#include "module/platform.h"
#include "tool/crop_tool.h"

namespace {

constexpr uint32_t kHandshakeVersion = VX_HANDSHAKE_VERSION;

// Obtains one service table, trying `highest` and then each lower minor
// version down to `lowest`; stores the table and the version it came at.
template <typename Table>
bool ObtainTable(const char *name, uint32_t highest, uint32_t lowest, const Table **slot,
                 uint32_t *accepted)
{
    for (uint32_t version = highest;; --version) {
        // The atom is asked for afresh at every attempt.
        const HostTable *table = host.core->GetTable(AtomOf(name), version);
        if (table != nullptr) {
            *slot = reinterpret_cast<const Table *>(table);
            *accepted = version;
            return true;
        }
        if (version <= lowest) {
            return false;
        }
    }
}

HostBool InitializeModule()
{
    if (host.core->GetConfiguration(AtomOf("CanEdit")) == 0) {
        host.viewer->AlertNote("Trim Vex only works with the Vellora Fornix program.");
        return VX_TRUE;
    }
    RegisterCropTool();
    RegisterToolbarButton();
    RegisterMenuItems();
    return VX_TRUE;
}

HostBool HandshakeModule(uint32_t handshakeVersion, HandshakeRecord *record)
{
    if (handshakeVersion != kHandshakeVersion || record == nullptr) {
        return VX_FALSE;
    }
    record->extensionName = AtomOf("ZUNO_TrimVex");
    record->exportEntry = VX_NO_CALLBACK;
    record->importEntry = VX_NO_CALLBACK;
    record->initialize = WrapRoutine(AsHostProc(InitializeModule));
    record->unload = VX_NO_CALLBACK;
    return VX_TRUE;
}

HostBool SetupModule(uint32_t handshakeVersion, SetupRecord *record)
{
    if (handshakeVersion != kHandshakeVersion || record == nullptr ||
        record->handshakeVersion != kHandshakeVersion || record->core == nullptr) {
        return VX_FALSE;
    }
    extensionId = record->extensionId;
    host.core = record->core;

    // In this order; the first table refused at all its versions ends the
    // setup, and later tables are not asked for.
    const bool obtained = ObtainTable(VX_TABLE_SUPPORT, VX_VERSION(2, 2), VX_VERSION(2, 2),
                                      &host.support, &acceptedVersions.support) &&
                          ObtainTable(VX_TABLE_OBJECT, VX_VERSION(2, 2), VX_VERSION(2, 2),
                                      &host.object, &acceptedVersions.object) &&
                          ObtainTable(VX_TABLE_MODEL, VX_VERSION(2, 3), VX_VERSION(2, 2),
                                      &host.model, &acceptedVersions.model) &&
                          ObtainTable(VX_TABLE_VIEWER, VX_VERSION(2, 3), VX_VERSION(2, 2),
                                      &host.viewer, &acceptedVersions.viewer) &&
                          ObtainTable(VX_TABLE_PLATFORM, VX_VERSION(2, 2), VX_VERSION(2, 0),
                                      &host.platform, &acceptedVersions.platform);
    if (!obtained) {
        return VX_FALSE;
    }
    record->handshake = WrapRoutine(AsHostProc(HandshakeModule));
    return VX_TRUE;
}

}  // namespace

extern "C" VX_MODULE_EXPORT HostBool PlugInMain(uint32_t hostVersion, uint32_t *agreedVersion,
                                                SetupProc *setupOut, const StartRecord *start)
{
    if (start != nullptr) {
        hostMainWindow = start->mainWindow;
        moduleInstance = start->moduleInstance;
    }
    if (agreedVersion != nullptr) {
        *agreedVersion = hostVersion < kHandshakeVersion ? hostVersion : kHandshakeVersion;
    }
    if (setupOut != nullptr) {
        *setupOut = SetupModule;
    }
    return VX_TRUE;
}

static_assert(std::is_same_v<decltype(&PlugInMain), PlugInMainProc>,
              "the entry point has the shape the host looks up");
