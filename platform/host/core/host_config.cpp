// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/host_config.h"

#include "core/table_registry.h"

namespace vellora {

HostConfig::HostConfig() {
    tableVersions[VX_TABLE_SUPPORT] = VersionsUpTo(VX_SUPPORT_VERSION);
    tableVersions[VX_TABLE_OBJECT] = VersionsUpTo(VX_OBJECT_VERSION);
    tableVersions[VX_TABLE_MODEL] = VersionsUpTo(VX_MODEL_VERSION);
    tableVersions[VX_TABLE_VIEWER] = VersionsUpTo(VX_VIEWER_VERSION);
    tableVersions[VX_TABLE_PLATFORM] = VersionsUpTo(VX_PLATFORM_VERSION);
}

}  // namespace vellora
