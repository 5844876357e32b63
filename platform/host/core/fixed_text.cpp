// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/fixed_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace vellora {

double FixedToDouble(Fixed value) { return static_cast<double>(value) / 65536.0; }

Fixed FixedFromDouble(double value) {
    double units = std::round(value * 65536.0);
    if (!(units >= static_cast<double>(INT32_MIN))) return INT32_MIN;
    if (units > static_cast<double>(INT32_MAX)) return INT32_MAX;
    return static_cast<Fixed>(units);
}

std::string FixedToText(Fixed value) {
    // 16 decimals always suffice: a Fixed is a multiple of 2^-16.
    char buffer[64];
    for (int digits = 0; digits <= 16; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*f", digits, FixedToDouble(value));
        if (FixedFromText(buffer) == value) break;
    }
    return buffer;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number as strtod reads it (sign, digits, point, exponent; no
// blanks, hex, infinity or NaN), as its significant digits and where the
// point falls among them: "72.5e1" is digits "725", point 3.
struct Decimal {
    bool negative = false;
    std::string digits;
    int64_t point = 0;
};

std::optional<Decimal> ReadDecimal(std::string_view text) {
    Decimal d;
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) d.negative = text[i++] == '-';
    size_t mantissaDigits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++mantissaDigits) d.digits += text[i];
    d.point = static_cast<int64_t>(d.digits.size());
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && IsDigit(text[i]); ++i, ++mantissaDigits) d.digits += text[i];
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) negativeExponent = text[i++] == '-';
        if (i >= text.size() || !IsDigit(text[i])) return std::nullopt;
        int64_t exponent = 0;
        // Past a few hundred the value is out of range or rounds to zero either way.
        for (; i < text.size() && IsDigit(text[i]); ++i)
            exponent = std::min<int64_t>(exponent * 10 + (text[i] - '0'), 1000);
        d.point += negativeExponent ? -exponent : exponent;
    }
    if (i != text.size()) return std::nullopt;
    // Leading zeros carry no value.
    size_t zeros = 0;
    while (zeros < d.digits.size() && d.digits[zeros] == '0') ++zeros;
    d.digits.erase(0, zeros);
    d.point -= static_cast<int64_t>(zeros);
    return d;
}

}  // namespace

std::optional<Fixed> FixedFromText(std::string_view text) {
    std::optional<Decimal> d = ReadDecimal(text);
    if (!d) return std::nullopt;
    if (d->digits.empty()) return 0;
    // Whole numbers past 5 digits are out of range; far below 1/65536 is zero.
    if (d->point > 5) return std::nullopt;
    if (d->point < -10) return 0;
    int64_t whole = 0;
    std::string fraction;
    for (int64_t k = 0; k < d->point; ++k) {
        whole = whole * 10 + (k < static_cast<int64_t>(d->digits.size()) ? d->digits[size_t(k)] - '0' : 0);
    }
    if (d->point < 0) fraction.assign(size_t(-d->point), '0');
    const size_t fractionStart = size_t(std::max<int64_t>(d->point, 0));
    if (fractionStart < d->digits.size()) fraction += d->digits.substr(fractionStart);
    // The fraction times 2^17, floored, digit by digit from the last one;
    // rounding half away from zero to 1/65536 is then (q + 1) / 2, whatever
    // the digits lost below the floor.
    int64_t carry = 0;
    for (size_t k = fraction.size(); k-- > 0;) carry = ((fraction[k] - '0') * int64_t{131072} + carry) / 10;
    int64_t units = whole * 65536 + (carry + 1) / 2;
    if (d->negative) units = -units;
    if (units < INT32_MIN || units > INT32_MAX) return std::nullopt;
    return static_cast<Fixed>(units);
}

std::string RectToText(const FixedRect& rect) {
    return FixedToText(rect.left) + " " + FixedToText(rect.bottom) + " " + FixedToText(rect.right) + " " +
           FixedToText(rect.top);
}

std::vector<std::string> CommaParts(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t comma; (comma = text.find(',', start)) != std::string::npos; start = comma + 1)
        parts.push_back(text.substr(start, comma - start));
    parts.push_back(text.substr(start));
    return parts;
}

}  // namespace vellora
