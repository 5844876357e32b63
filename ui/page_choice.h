// SPDX-License-Identifier: AGPL-3.0-or-later
// The pages a crop run is for, as the Pages To Crop dialog answers.
#pragma once

#include <stdint.h>

// Any other value counts as Cancel.
enum class PageChoice : intptr_t {
    Cancel = 0,
    Current = 1,
    All = 2,
    Odd = 3,
    Even = 4,
};
