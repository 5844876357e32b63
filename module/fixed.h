// SPDX-License-Identifier: AGPL-3.0-or-later
// Fixed-point arithmetic of the crop engine. Page boxes come from documents
// we do not control, so sums and differences wrap as 32-bit two's
// complement instead of overflowing; going through uint32_t keeps that
// defined behaviour.
#pragma once

#include "vx_types.h"

constexpr Fixed kFixedOne = 0x10000;    // 1.0
constexpr Fixed kFixedTwo = 0x20000;    // 2.0, divisor of a half size
constexpr Fixed kFixedInch = 0x480000;  // 72.0: one inch of page space

constexpr Fixed FixedAdd(Fixed a, Fixed b)
{
    return static_cast<Fixed>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

constexpr Fixed FixedSub(Fixed a, Fixed b)
{
    return static_cast<Fixed>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Width and height as wrapped differences; a rectangle whose sides are out of
// order has a negative extent.
constexpr Fixed RectWidth(const FixedRect &r)
{
    return FixedSub(r.right, r.left);
}

constexpr Fixed RectHeight(const FixedRect &r)
{
    return FixedSub(r.top, r.bottom);
}
