// SPDX-License-Identifier: GPL-3.0-or-later
// Four-character codes from text, for building records in tests.
#pragma once

#include <cstdint>

inline uint32_t Fcc(const char* text) {
    return static_cast<uint32_t>(static_cast<unsigned char>(text[0])) |
           (static_cast<uint32_t>(static_cast<unsigned char>(text[1])) << 8) |
           (static_cast<uint32_t>(static_cast<unsigned char>(text[2])) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(text[3])) << 24);
}
