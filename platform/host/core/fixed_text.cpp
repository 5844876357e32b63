#include "core/fixed_text.h"

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

std::optional<Fixed> FixedFromText(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int64_t whole = 0;
    size_t wholeDigits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++wholeDigits) {
        whole = whole * 10 + (text[i] - '0');
        if (whole > 40000) return std::nullopt;
    }
    // The fraction times 2^17, floored, digit by digit from the last one;
    // rounding half away from zero to 1/65536 is then (q + 1) / 2, whatever
    // the digits lost below the floor.
    std::string_view fraction;
    if (i < text.size() && text[i] == '.') {
        size_t start = ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
        fraction = text.substr(start, i - start);
    }
    if (i != text.size() || wholeDigits + fraction.size() == 0) return std::nullopt;
    int64_t carry = 0;
    for (size_t k = fraction.size(); k-- > 0;) carry = ((fraction[k] - '0') * int64_t{131072} + carry) / 10;
    int64_t units = whole * 65536 + (carry + 1) / 2;
    if (negative) units = -units;
    if (units < INT32_MIN || units > INT32_MAX) return std::nullopt;
    return static_cast<Fixed>(units);
}

std::string RectToText(const FixedRect& rect) {
    return FixedToText(rect.left) + " " + FixedToText(rect.bottom) + " " + FixedToText(rect.right) + " " +
           FixedToText(rect.top);
}

}  // namespace vellora
