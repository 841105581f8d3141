// SPDX-License-Identifier: GPL-3.0-or-later
#include "join/audio_span.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using join::AudioBoundary;
using join::AudioClock;

TEST(AudioBoundary, WholeSamplesPerFrameStayWhole) {
    const AudioClock clock{44100, 1, 30, 1};
    for (int64_t j = 0; j < 1000; ++j) {
        ASSERT_EQ(AudioBoundary(clock, j + 1) - AudioBoundary(clock, j), 1470);
    }
}

TEST(AudioBoundary, HalfSamplesAlternateByRoundingHalvesToEven) {
    const AudioClock clock{11025, 1, 30, 1};  // 367.5 per frame
    const int64_t starts[] = {0, 368, 735, 1102, 1470, 1838, 2205, 2572, 2940};
    for (int j = 0; j < 9; ++j) {
        EXPECT_EQ(AudioBoundary(clock, j), starts[j]) << j;
    }
    // Any run of frames adds up to round(367.5 x end) - round(367.5 x start), for a long way.
    for (int64_t j = 0; j < 200000; j += 7) {
        const int64_t exact = std::llrint(367.5 * static_cast<double>(j));
        ASSERT_EQ(AudioBoundary(clock, j), exact) << j;
    }
}

TEST(AudioBoundary, MatchesExactRationalRoundingForBroadcastRates) {
    const AudioClock clocks[] = {{48000, 1, 30000, 1001},
                                 {48000, 1, 2997, 100},
                                 {44100, 1, 30000, 1001},
                                 {44100, 1152, 24000, 1001},  // chunks of VBR MP3 at 23.976
                                 {48000, 1, 60000, 1001}};
    for (const AudioClock& c : clocks) {
        for (int64_t j = 0; j < 2000000; j += 997) {
            // Exact in long double for these magnitudes: j x rate x scale < 2^64.
            const long double exact = static_cast<long double>(j) * c.audioRate * c.videoScale /
                                      (static_cast<long double>(c.audioScale) * c.videoRate);
            const long double lower = std::floor(exact);
            const long double frac = exact - lower;
            int64_t expected = static_cast<int64_t>(lower);
            if (frac > 0.5L || (frac == 0.5L && expected % 2 != 0)) {
                ++expected;
            }
            ASSERT_EQ(AudioBoundary(c, j), expected) << c.audioRate << "/" << c.videoRate;
        }
    }
}

TEST(AudioBoundary, InvalidClocksAndExtremesNeverOverflow) {
    EXPECT_EQ(AudioBoundary(AudioClock{0, 1, 25, 1}, 100), 0);
    EXPECT_EQ(AudioBoundary(AudioClock{48000, 1, 25, 0}, 100), 0);
    EXPECT_EQ(AudioBoundary(AudioClock{48000, 1, 25, 1}, -5), 0);
    const AudioClock huge{UINT32_MAX, 1, 1, UINT32_MAX};
    EXPECT_EQ(AudioBoundary(huge, std::numeric_limits<int64_t>::max()),
              std::numeric_limits<int64_t>::max());
    const AudioClock tiny{1, UINT32_MAX, UINT32_MAX, 1};
    EXPECT_EQ(AudioBoundary(tiny, std::numeric_limits<int64_t>::max()), 1);  // just above 1/2
}

}  // namespace
