// SPDX-License-Identifier: GPL-3.0-or-later
// Which audio samples belong to which video frame: one exact boundary function in integers.
#pragma once

#include <cstdint>

namespace join {

// The audio clock against the video clock: audio samples per second aRate/aScale (a VBR stream
// counts chunks), video frames per second vRate/vScale.
struct AudioClock {
    uint32_t audioRate = 0;
    uint32_t audioScale = 0;
    uint32_t videoRate = 0;
    uint32_t videoScale = 0;

    bool valid() const {
        return audioRate != 0 && audioScale != 0 && videoRate != 0 && videoScale != 0;
    }
};

// B(j): the first audio sample of video frame j (j counted from the stream's first frame), the
// exact value of j x aRate x vScale / (aScale x vRate) rounded half to even. Frame j's audio is
// [B(j), B(j + 1)), so consecutive spans neither overlap nor leave gaps. Returns 0 for an invalid
// clock or j <= 0; saturates far beyond any real stream length.
int64_t AudioBoundary(const AudioClock& clock, int64_t frame);

}  // namespace join
