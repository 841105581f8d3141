// SPDX-License-Identifier: GPL-3.0-or-later
// Number conversions shared by every text the program shows.
#pragma once

#include <cstdint>
#include <string>

namespace media {

// Rounds to the nearest integer, halves to even. NaN gives 0; values beyond the int64 range are
// clamped to it, so no conversion is ever undefined.
int64_t RoundHalfEven(double value);

// As above, clamped to the int32 range.
int32_t RoundHalfEvenToInt32(double value);

// A single-precision value with up to 7 significant digits, no trailing zeros, "." as the decimal
// point whatever the locale: 15, 29.97003, 12.5.
std::string FormatFloat7(float value);

}  // namespace media
