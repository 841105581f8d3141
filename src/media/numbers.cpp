// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/numbers.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace media {

int64_t RoundHalfEven(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    // 2^63 is exactly representable; anything at or beyond it is clamped.
    constexpr double kLimit = 9223372036854775808.0;
    if (value >= kLimit) {
        return std::numeric_limits<int64_t>::max();
    }
    if (value < -kLimit) {
        return std::numeric_limits<int64_t>::min();
    }
    // The default floating-point environment rounds to nearest, ties to even.
    return static_cast<int64_t>(std::nearbyint(value));
}

int32_t RoundHalfEvenToInt32(double value) {
    const int64_t v = RoundHalfEven(value);
    if (v > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    if (v < std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(v);
}

std::string FormatFloat7(float value) {
    char text[64];
    // %g with 7 significant digits drops trailing zeros; snprintf uses the C locale's "." unless
    // the program changed LC_NUMERIC, which it never does.
    std::snprintf(text, sizeof text, "%.7g", static_cast<double>(value));
    return text;
}

}  // namespace media
