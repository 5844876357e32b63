// SPDX-License-Identifier: AGPL-3.0-or-later
#include "module/module_state.h"

HostWindowHandle hostMainWindow = nullptr;
HostModuleHandle moduleInstance = nullptr;
ExtensionId extensionId = 0;
HostTables host = {};
AcceptedVersions acceptedVersions = {};

HostCallback WrapRoutine(HostProc routine)
{
    return host.core->MakeCallback(extensionId, routine);
}

Atom AtomOf(const char *text)
{
    return host.core->AtomFromString(text);
}

HostBool AlwaysTrue(void *)
{
    return VX_TRUE;
}

HostBool AlwaysFalse(void *)
{
    return VX_FALSE;
}
