// SPDX-License-Identifier: AGPL-3.0-or-later
// The host's service tables, published under their names at the versions
// the configuration gives.
#pragma once

#include "model/host.h"
#include "vx_tables.h"

namespace vellora {

const CoreTable& CoreTableInstance();
const SupportTable& SupportTableInstance();
const ObjectTable& ObjectTableInstance();
const ModelTable& ModelTableInstance();
const ViewerTable& ViewerTableInstance();
const PlatformTable& PlatformTableInstance();

// The progress monitor with the entries the configuration gives.
ProgressMonitor ProgressMonitorFor(const ProgressEntries& entries);

// Publishes the five tables and installs the progress monitor the
// configuration asks for.
void PublishTables(PluginSide& host);

}  // namespace vellora
