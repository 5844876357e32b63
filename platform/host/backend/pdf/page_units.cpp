// SPDX-License-Identifier: AGPL-3.0-or-later
#include "backend/pdf/page_units.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace vellora::pdf {

namespace {

constexpr double kScale = 65536.0;
constexpr double kMinRaw = double(std::numeric_limits<int32_t>::min());
constexpr double kMaxRaw = double(std::numeric_limits<int32_t>::max());

Fixed ClampToFixed(double raw)
{
    if (std::isnan(raw))
        return 0;
    return Fixed(std::clamp(raw, kMinRaw, kMaxRaw));
}

}  // namespace

std::optional<Fixed> ToFixed(double points)
{
    if (!std::isfinite(points))
        return std::nullopt;
    const double raw = std::nearbyint(points * kScale);
    if (raw < kMinRaw || raw > kMaxRaw)
        return std::nullopt;
    return Fixed(raw);
}

std::optional<FixedRect> ToFixedRect(const PdfRect& r)
{
    const auto left = ToFixed(std::min(r.x0, r.x1));
    const auto right = ToFixed(std::max(r.x0, r.x1));
    const auto bottom = ToFixed(std::min(r.y0, r.y1));
    const auto top = ToFixed(std::max(r.y0, r.y1));
    if (!left || !right || !bottom || !top)
        return std::nullopt;
    return FixedRect{*left, *top, *right, *bottom};
}

FixedRect ToFixedRectOutward(const PdfRect& r)
{
    FixedRect out;
    out.left = ClampToFixed(std::floor(std::min(r.x0, r.x1) * kScale));
    out.bottom = ClampToFixed(std::floor(std::min(r.y0, r.y1) * kScale));
    out.right = ClampToFixed(std::ceil(std::max(r.x0, r.x1) * kScale));
    out.top = ClampToFixed(std::ceil(std::max(r.y0, r.y1) * kScale));
    return out;
}

double ToPoints(Fixed f)
{
    return double(f) / kScale;
}

float ToWritablePoints(Fixed f)
{
    float value = float(ToPoints(f));
    // Rounding to float may carry a value just inside the range onto its
    // edge (32767.99998 becomes 32768); step back towards zero.
    while (!ToFixed(double(value)))
        value = std::nextafter(value, 0.0f);
    return value;
}

int NormaliseRotation(int degrees)
{
    if (degrees % 90 != 0)
        return degrees;
    return ((degrees % 360) + 360) % 360;
}

int RotationFromNumber(double value)
{
    if (!std::isfinite(value))
        return 0;
    // Reduced before it is narrowed: 32768 and 2147483648 are turns like any
    // other, not numbers past a limit.
    const double turns = std::fmod(std::nearbyint(value), 360.0);
    return int(turns < 0 ? turns + 360.0 : turns);
}

}  // namespace vellora::pdf
