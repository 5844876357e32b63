// SPDX-License-Identifier: AGPL-3.0-or-later
// Fixed (16.16) values as text: written with as few decimals as read back
// exactly, read from decimals rounded to the nearest 1/65536.
#pragma once

#include "vx_types.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellora {

std::string FixedToText(Fixed value);
// nullopt for text that is not a decimal number (exponents allowed: 7e2) or lies
// outside the Fixed range.
std::optional<Fixed> FixedFromText(std::string_view text);
// The parts of a comma-separated list, empty ones included ("1,2," is
// three parts, the last empty), so that a stray comma is never read as 0.
std::vector<std::string> CommaParts(const std::string& text);
// The rectangle as PDF writes it: left bottom right top.
std::string RectToText(const FixedRect& rect);

double FixedToDouble(Fixed value);
// Rounded to the nearest unit, saturating at the ends of the range.
Fixed FixedFromDouble(double value);

}  // namespace vellora
