// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/window_geometry.h"

#include <gtest/gtest.h>

namespace {

using platform::KeepOnScreens;
using platform::ScreenArea;

// Two screens side by side, the right one lower and smaller.
const std::vector<ScreenArea> kScreens = {{0, 0, 1000, 800}, {1000, 200, 600, 400}};

TEST(KeepOnScreens, MovesOntoTheScreenThatHoldsMostOfTheWindow) {
    // Wholly on a screen: unchanged.
    EXPECT_EQ(KeepOnScreens({100, 100, 300, 200}, kScreens), (ScreenArea{100, 100, 300, 200}));
    // Mostly on the left screen, reaching past its right and bottom edges.
    EXPECT_EQ(KeepOnScreens({800, 700, 300, 200}, kScreens), (ScreenArea{700, 600, 300, 200}));
    // Mostly on the right screen: kept on it, not on the one its corner touches.
    EXPECT_EQ(KeepOnScreens({950, 250, 300, 200}, kScreens), (ScreenArea{1000, 250, 300, 200}));
    // Above and left of everything: the nearest screen.
    EXPECT_EQ(KeepOnScreens({-5000, -300, 300, 200}, kScreens), (ScreenArea{0, 0, 300, 200}));
    EXPECT_EQ(KeepOnScreens({3000, 350, 300, 200}, kScreens), (ScreenArea{1300, 350, 300, 200}));
}

TEST(KeepOnScreens, ShrinksAWindowLargerThanItsScreen) {
    EXPECT_EQ(KeepOnScreens({1100, 100, 900, 900}, kScreens), (ScreenArea{1000, 200, 600, 400}));
    EXPECT_EQ(KeepOnScreens({-50, -50, 2000, 300}, kScreens), (ScreenArea{0, 0, 1000, 300}));
}

TEST(KeepOnScreens, UnknownScreensLeaveTheWindowAlone) {
    EXPECT_EQ(KeepOnScreens({-5000, 9, 30, 20}, {}), (ScreenArea{-5000, 9, 30, 20}));
    EXPECT_EQ(KeepOnScreens({-5000, 9, 30, 20}, {ScreenArea{}}), (ScreenArea{-5000, 9, 30, 20}));
}

}  // namespace
