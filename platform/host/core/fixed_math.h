// SPDX-License-Identifier: AGPL-3.0-or-later
// Fixed-point arithmetic the host offers the plug-in.
#pragma once

#include "vx_types.h"

namespace vellora {

// a / b in 16.16, rounded to nearest with halves away from zero, saturating
// at the ends of the range; b = 0 gives the largest value of a's sign
// (a = 0 counts as positive).
Fixed RoundedFixedDiv(Fixed a, Fixed b);

}  // namespace vellora
