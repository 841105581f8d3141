// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(media::RoundHalfEven(0.5), 0);
    EXPECT_EQ(media::RoundHalfEven(1.5), 2);
    EXPECT_EQ(media::RoundHalfEven(2.5), 2);
    EXPECT_EQ(media::RoundHalfEven(-2.5), -2);
    EXPECT_EQ(media::RoundHalfEven(367.5), 368);
    EXPECT_EQ(media::RoundHalfEven(735.0), 735);
    EXPECT_EQ(media::RoundHalfEven(1102.5), 1102);
}

TEST(RoundHalfEven, NonFiniteAndHugeValuesAreGuarded) {
    EXPECT_EQ(media::RoundHalfEven(std::nan("")), 0);
    EXPECT_EQ(media::RoundHalfEven(1e300), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(media::RoundHalfEven(-1e300), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(media::RoundHalfEven(std::numeric_limits<double>::infinity()),
              std::numeric_limits<int64_t>::max());
    EXPECT_EQ(media::RoundHalfEvenToInt32(3e9), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(media::RoundHalfEvenToInt32(-3e9), std::numeric_limits<int32_t>::min());
}

TEST(FormatFloat7, SevenSignificantDigitsNoTrailingZeros) {
    EXPECT_EQ(media::FormatFloat7(15.0f), "15");
    EXPECT_EQ(media::FormatFloat7(30000.0f / 1001.0f), "29.97003");
    EXPECT_EQ(media::FormatFloat7(12.5f), "12.5");
}

}  // namespace
