// SPDX-License-Identifier: AGPL-3.0-or-later
// The crop selection: the region the crop tool holds and the crop engine
// crops to.
#pragma once

#include "vx_types.h"

// The one selected region of the whole application, held in the page space
// of the page described by capturedMediaBox and capturedRotation.
struct CropSelectionState {
    FixedRect region;
    FixedRect capturedMediaBox;
    int16_t capturedRotation;
    HostBool hasRegion;
};

extern CropSelectionState CropSelection;
