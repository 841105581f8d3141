// SPDX-License-Identifier: GPL-3.0-or-later
// Placing top-level windows: the stored position text of a window and back, and centring a window
// on the screen or over the main window. Positions are twips (1/1440 inch), 32-bit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace settings {

// Screen measures are twips; a logical pixel is 15 twips (96 dots per inch).
inline constexpr int32_t kTwipsPerPixel = 15;

// A top-level window as placement sees it.
class PlacedWindow {
  public:
    virtual ~PlacedWindow() = default;
    virtual int32_t left() const = 0;
    virtual int32_t top() const = 0;
    virtual int32_t width() const = 0;
    virtual int32_t height() const = 0;
    virtual void setLeft(int32_t twips) = 0;
    virtual void setTop(int32_t twips) = 0;
    virtual void setCaption(const std::string& caption) = 0;
};

// The part of the screen windows may occupy, in twips: the available area of the window's screen,
// or the bounding box of all screens. An empty area stands for a screen that is not known.
struct ScreenArea {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Stored positions beyond this distance from the origin, either way, are held at it: no screen is
// that large, and a hand-edited number of any size stays harmless.
inline constexpr int32_t kPositionLimitTwips = 1'000'000;

// `setTitle`: only a given 1 also sets the window's caption to the application title; omitted or
// any other value leaves the caption alone.
using SetTitle = std::optional<int>;

// "Top,Left" in decimal, no blanks: "1485,2970", "-60,1200".
std::string GetWindowPosText(const PlacedWindow& window);

// Moves the window to a stored position text "Top,Left". Without a comma the window is neither
// moved nor retitled. Each part counts by its leading decimal number (blanks ignored, sign and
// decimal point allowed, rounded halves to even), 0 when it has none, held within
// kPositionLimitTwips. A position that would put the window wholly off a known `screen` centres it
// there instead.
void ApplyWindowPosText(PlacedWindow& window, std::string_view text, const ScreenArea& screen,
                        SetTitle setTitle = std::nullopt);

// Centres the window on the screen; a window larger than the screen goes to its top or left edge.
void CenterOnScreen(PlacedWindow& window, const ScreenArea& screen,
                    SetTitle setTitle = std::nullopt);

// Centres the window over the main window; a result above or left of the screen's origin is held
// at 0, nothing is held at the right or bottom.
void CenterOverMainWindow(PlacedWindow& window, const PlacedWindow& mainWindow,
                          SetTitle setTitle = std::nullopt);

// The leading decimal number of a position part, as ApplyWindowPosText reads it.
int32_t ParsePositionNumber(std::string_view text);

}  // namespace settings
