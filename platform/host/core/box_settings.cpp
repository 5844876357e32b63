// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/box_settings.h"

#include "core/fixed_text.h"
#include "core/host_error.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

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

BoxMargin MarginOption(const std::string& text) {
    std::vector<Fixed> sides;
    for (const std::string& side : CommaParts(text)) {
        const std::optional<Fixed> points = FixedFromText(side);
        if (!points || *points < 0) throw UsageError("--margin: '" + side + "' is not a number of points from 0");
        sides.push_back(*points);
    }
    if (sides.size() != 1 && sides.size() != 4)
        throw UsageError("--margin: '" + text + "' is not one number or four L,B,R,T");
    if (sides.size() == 1) return BoxMargin{sides[0], sides[0], sides[0], sides[0]};
    return BoxMargin{sides[0], sides[1], sides[2], sides[3]};
}

Fixed InkThresholdOption(const std::string& text) {
    const std::optional<Fixed> percent = FixedFromText(text);
    if (!percent || *percent < 0 || *percent >= 100 * VX_FIXED_ONE)
        throw UsageError("--ink-threshold: '" + text + "' is not a percentage from 0 to below 100");
    return *percent;
}

}  // namespace vellora
