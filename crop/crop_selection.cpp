// SPDX-License-Identifier: AGPL-3.0-or-later
#include "crop/crop_selection.h"

CropSelectionState CropSelection = {};
