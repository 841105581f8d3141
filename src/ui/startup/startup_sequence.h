// SPDX-License-Identifier: GPL-3.0-or-later
// The program's start-up sequence and the texts of the startup and help windows, as plain C++:
// the windows only show what these give them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "settings/window_placement.h"

namespace ui {

// 0 at program start, 1 once the start-up sequence has run; never reset. The startup window
// opened again later finds 1 and becomes the about box.
extern int16_t startupDone;

// The start-up sequence, when it has not run yet: opens the debug log when "Debug_Trace" is "ON",
// initialises the video-file library, creates the main window (hidden) and places it from its
// stored position, or centred on the screen when none is stored, with the application title; then
// startupDone becomes 1. False, doing nothing, when it already ran.
bool RunStartupSequence(const std::function<settings::PlacedWindow*()>& createMainWindow,
                        const settings::ScreenArea& screen);

// The startup window's labels, in the order they are set.
struct StartupCaptions {
    std::string labProduct;
    std::string labVersion;
    std::string labInfo;
    std::string labDisclaimer;
    std::string labAuthor;
};
StartupCaptions GetStartupCaptions();

// The help message window's text: the first block asked for in one combined request, then the
// other two, separated by blank lines; lines end in CR LF.
std::string ComposeHelpMessage();

}  // namespace ui
