// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures that cannot follow a splice: after an intra picture of an open group of pictures,
// the B pictures that come next in file order are predicted from frames before it as well.
#pragma once

#include <cstdint>

#include "media/clip_info.h"

namespace join {

// The compression code the bitstream probe reads for a clip: the format's, else the handler's.
uint32_t ClipCompression(const ClipInfo& clip);

// Whether the first frame of a segment (its bytes) opens a group whose next B pictures depend
// on frames before it.
bool OpensOpenGroup(uint32_t compression, const uint8_t* frame, int32_t size);
// Whether a frame holds a B picture.
bool IsBidirectional(uint32_t compression, const uint8_t* frame, int32_t size);

// How many frames after stream position pos (a key frame), in file order, need frames before pos
// to be shown: 0 when pos starts a closed group or the codec is not one the probe reads.
int32_t CountLeadingPictures(int16_t videoStream, uint32_t compression, int64_t pos);

}  // namespace join
