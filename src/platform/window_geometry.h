// SPDX-License-Identifier: GPL-3.0-or-later
// What placing a top-level window needs of the windowing system: the window's frame and caption,
// the screens' areas, and keeping a window wholly on a screen. Measures are twips (1/1440 inch,
// 15 to a logical pixel), 32-bit. The Qt implementation is platform/qt/qt_window.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Screen measures are twips; a logical pixel is 15 twips (96 dots per inch).
inline constexpr int32_t kTwipsPerPixel = 15;

// A rectangle on the desktop. As a screen's area an empty one stands for a screen that is not
// known.
struct ScreenArea {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool empty() const { return width <= 0 || height <= 0; }
    bool operator==(const ScreenArea&) const = default;
};

// A top-level window as placement sees it: its frame (title bar and border included, which is
// what a user sees as the window's place) in twips.
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
    // A placement has set the whole position (Top, then Left): the window may now keep itself on
    // the screen.
    virtual void placed() {}
};

// Where a window with this frame goes to lie wholly on one screen: the one whose area holds most
// of it (the nearest when it overlaps none), shrunk to that area where it is larger. Unchanged
// when no screen is known.
ScreenArea KeepOnScreens(const ScreenArea& window, const std::vector<ScreenArea>& screens);

}  // namespace platform
