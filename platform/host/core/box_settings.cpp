// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/box_settings.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace vellora {

namespace {

Fixed Saturated(int64_t v) {
    return static_cast<Fixed>(
        std::clamp<int64_t>(v, std::numeric_limits<Fixed>::min(), std::numeric_limits<Fixed>::max()));
}

}  // namespace

FixedRect GrowBox(const FixedRect& box, const BoxMargin& margin) {
    // Sides in order, whichever way the box was stored.
    const Fixed left = std::min(box.left, box.right), right = std::max(box.left, box.right);
    const Fixed bottom = std::min(box.bottom, box.top), top = std::max(box.bottom, box.top);
    FixedRect grown{};
    grown.left = Saturated(int64_t(left) - margin.left);
    grown.bottom = Saturated(int64_t(bottom) - margin.bottom);
    grown.right = Saturated(int64_t(right) + margin.right);
    grown.top = Saturated(int64_t(top) + margin.top);
    return grown;
}

}  // namespace vellora
