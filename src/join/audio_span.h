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
// The same for a count of frames that may be negative: -B(-frames) below 0.
int64_t SignedAudioBoundary(const AudioClock& clock, int64_t frames);

// Whether a packet of length samples, placed at position of the audio, belongs to the first
// frames video frames: it ends no more than half its length after their exact end. Adding packets
// while this holds keeps the sound within half a packet of the picture at every frame, whatever
// the packets before were. False for an invalid clock.
bool PacketFits(const AudioClock& clock, int64_t position, int64_t length, int64_t frames);

}  // namespace join
