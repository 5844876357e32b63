// SPDX-License-Identifier: AGPL-3.0-or-later
// Module-wide state handed over by the host at start-up, and the one way
// every part of the module reaches the host's service tables.
#pragma once

#include "vellora_sdk.h"

// The host's service tables, kept by the setup routine for the life of the
// process. A table the host refused stays null, and the setup routine then
// reports failure, so after a successful setup all six are present.
struct HostTables {
    const CoreTable *core;
    const SupportTable *support;
    const ObjectTable *object;
    const ModelTable *model;
    const ViewerTable *viewer;
    const PlatformTable *platform;
};

// The version at which each table was obtained (0 while not obtained).
struct AcceptedVersions {
    uint32_t support;
    uint32_t object;
    uint32_t model;
    uint32_t viewer;
    uint32_t platform;
};

extern HostWindowHandle hostMainWindow;  // from the start record
extern HostModuleHandle moduleInstance;  // from the start record: our resources
extern ExtensionId extensionId;          // from the setup record
extern HostTables host;
extern AcceptedVersions acceptedVersions;

// Core.MakeCallback for one of our routines. Every call makes a new handle,
// so a routine attached twice is wrapped twice.
HostCallback WrapRoutine(HostProc routine);

// Routines are wrapped with their own signature; the host calls them back
// with the signature of the slot they are attached to.
template <typename Routine>
inline HostProc AsHostProc(Routine *routine)
{
    return reinterpret_cast<HostProc>(routine);
}

// Core.AtomFromString; a fresh call every time, as the host expects.
Atom AtomOf(const char *text);

// Tests whose answer never changes, for items and tools that are always
// available or never marked.
HostBool AlwaysTrue(void *data);
HostBool AlwaysFalse(void *data);
