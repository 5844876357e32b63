// SPDX-License-Identifier: AGPL-3.0-or-later
// Revert File and the About note.
#pragma once

#include "vx_types.h"

void RevertFile(void *data);
HostBool RevertEnabledTest(void *data);
void ShowAboutNote(void *data);
