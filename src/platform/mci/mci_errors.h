// SPDX-License-Identifier: GPL-3.0-or-later
// Result codes of the movie device's command strings (the MCIERR numbering, base 256) and the
// short texts the device puts into the reply when a command fails.
#pragma once

#include <cstdint>

namespace mci {

inline constexpr int32_t kOk = 0;
inline constexpr int32_t kErrUnrecognizedKeyword = 259;
inline constexpr int32_t kErrUnrecognizedCommand = 261;
inline constexpr int32_t kErrInvalidDeviceName = 263;
inline constexpr int32_t kErrOutOfMemory = 264;
inline constexpr int32_t kErrDeviceOpen = 265;
inline constexpr int32_t kErrCannotLoadDriver = 266;
inline constexpr int32_t kErrMissingCommandString = 267;
inline constexpr int32_t kErrBadInteger = 270;
inline constexpr int32_t kErrMissingParameter = 273;
inline constexpr int32_t kErrUnsupportedFunction = 274;
inline constexpr int32_t kErrFileNotFound = 275;
inline constexpr int32_t kErrOutOfRange = 282;
inline constexpr int32_t kErrDuplicateAlias = 289;
inline constexpr int32_t kErrBadConstant = 290;
inline constexpr int32_t kErrMissingDeviceName = 292;
inline constexpr int32_t kErrNoClosingQuote = 294;
inline constexpr int32_t kErrInvalidFile = 296;
inline constexpr int32_t kErrExtraCharacters = 305;
inline constexpr int32_t kErrCreateWindow = 347;
inline constexpr int32_t kErrFileRead = 348;

// A short English text for a result code; a generic text for codes without one of their own.
const char* ErrorText(int32_t code);

}  // namespace mci
