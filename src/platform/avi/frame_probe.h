// SPDX-License-Identifier: GPL-3.0-or-later
// What kind of picture a compressed video frame holds, read from the first bytes of its
// bitstream: enough to tell key frames while rebuilding an index, and to find the pictures after
// a splice that were predicted from frames before it. MPEG-1/2, MPEG-4 Part 2 and H.264.
#pragma once

#include <cstddef>
#include <cstdint>

namespace avi {

enum class PictureType {
    kUnknown,        // a codec we do not read, or no picture header found
    kIntra,          // an intra picture that later pictures may precede in display order
    kClosedIntra,    // an intra picture nothing before it is needed around (IDR, closed GOP)
    kPredicted,      // P (and S, SP)
    kBidirectional,  // B
};

// True for the codecs ProbePicture reads (by the stream's compression or handler code).
bool IsProbedCodec(uint32_t compression);

// The type of the first picture in a frame's bytes.
PictureType ProbePicture(uint32_t compression, const uint8_t* data, size_t size);

}  // namespace avi
