// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/fixed_math.h"

#include <cstdlib>
#include <limits>

namespace vellora {

Fixed RoundedFixedDiv(Fixed a, Fixed b) {
    if (b == 0) return a < 0 ? std::numeric_limits<Fixed>::min() : std::numeric_limits<Fixed>::max();
    int64_t num = static_cast<int64_t>(a) * 65536;
    int64_t q = num / b, r = num % b;
    // Half away from zero.
    if (2 * std::llabs(r) >= std::llabs(static_cast<int64_t>(b))) q += ((num < 0) != (b < 0)) ? -1 : 1;
    if (q > std::numeric_limits<Fixed>::max()) return std::numeric_limits<Fixed>::max();
    if (q < std::numeric_limits<Fixed>::min()) return std::numeric_limits<Fixed>::min();
    return static_cast<Fixed>(q);
}

}  // namespace vellora
