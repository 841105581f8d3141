// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/audio_span.h"

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

}  // namespace join
