// SPDX-License-Identifier: AGPL-3.0-or-later
// What a script's `host ...` lines configure before the module is loaded.
#pragma once

#include "core/box_settings.h"
#include "vx_tables.h"

#include <map>
#include <set>
#include <string>

namespace vellora {

struct ProgressEntries {
    bool exists = true;  // false: Viewer.GetProgressMonitor gives none
    bool begin = true, end = true, duration = true, value = true;
};

struct HostConfig {
    bool canEdit = true;
    uint32_t handshakeVersion = VX_HANDSHAKE_VERSION;
    // Versions at which each service table is published (empty set: withheld).
    std::map<std::string, std::set<uint32_t>> tableVersions;
    bool toolbarRoom = true;
    std::set<std::string> withoutMenus, withoutItems, withoutButtons;
    ProgressEntries progress;
    bool allocateRefused = false;
    bool closeRefused = false;
    int windowLeft = 0, windowTop = 0, windowRight = 1280, windowBottom = 800;
    InkSettings ink;   // how documents opened from now on find their marks
    BoxMargin margin;  // added to every bounding box reported

    HostConfig();
};

}  // namespace vellora
