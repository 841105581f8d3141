// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/audio_span.h"

#include <algorithm>
#include <limits>

namespace join {

int64_t AudioBoundary(const AudioClock& clock, int64_t frame) {
    if (!clock.valid() || frame <= 0) {
        return 0;
    }
    using Wide = unsigned __int128;
    // j < 2^63 and each factor < 2^32, so the numerator stays below 2^127 and the denominator
    // below 2^64: no intermediate can overflow.
    const Wide numerator = static_cast<Wide>(frame) * clock.audioRate * clock.videoScale;
    const Wide denominator = static_cast<Wide>(clock.audioScale) * clock.videoRate;
    Wide quotient = numerator / denominator;
    const Wide twiceRemainder = (numerator % denominator) * 2;
    if (twiceRemainder > denominator || (twiceRemainder == denominator && (quotient & 1) != 0)) {
        ++quotient;
    }
    const Wide limit = static_cast<Wide>(std::numeric_limits<int64_t>::max());
    return quotient > limit ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(quotient);
}

int64_t SignedAudioBoundary(const AudioClock& clock, int64_t frames) {
    return frames < 0
               ? -AudioBoundary(clock, -std::max(frames, -std::numeric_limits<int64_t>::max()))
               : AudioBoundary(clock, frames);
}

bool PacketFits(const AudioClock& clock, int64_t position, int64_t length, int64_t frames) {
    if (!clock.valid()) {
        return false;
    }
    using Wide = __int128;
    // (2 position + length) / 2 <= frames x aRate x vScale / (aScale x vRate), in integers. With
    // every count kept below 2^60 (far beyond any stream) each side stays below 2^126.
    const auto bound = [](int64_t v) {
        constexpr int64_t kFar = int64_t{1} << 60;
        return static_cast<Wide>(std::clamp<int64_t>(v, -kFar, kFar));
    };
    const Wide end = (2 * bound(position) + bound(length)) * clock.audioScale * clock.videoRate;
    const Wide limit = 2 * bound(frames) * clock.audioRate * clock.videoScale;
    return end <= limit;
}

}  // namespace join
